#pragma once

// A full disk, as an unprivileged test can have one: a file-size limit (RLIMIT_FSIZE) on this
// process. A write that would grow a file past it fails with "File too large" (EFBIG), as one
// on a full disk fails with "No space left on device"; SIGXFSZ is ignored meanwhile, as the
// program ignores it.

#include <csignal>
#include <sys/resource.h>

// While it lives, files of this process cannot grow past `bytes`.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &FSaved);
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = FSaved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &FSaved);
        std::signal(SIGXFSZ, FOldHandler);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
    rlimit FSaved{};
    void (*FOldHandler)(int);
};
