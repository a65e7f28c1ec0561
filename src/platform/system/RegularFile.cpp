#include "RegularFile.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TFileRead ReadOpened(int fd, QByteArray& data, qint64 limit) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return TFileRead::Unreadable;
    if (!S_ISREG(st.st_mode))
        return TFileRead::NotRegular;
    if (st.st_size > limit)
        return TFileRead::TooLarge;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            return TFileRead::Read;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return TFileRead::Unreadable;
        }
        // The file may grow while it is read.
        if (n > limit - data.size())
            return TFileRead::TooLarge;
        data.append(buffer, n);
    }
}

} // namespace

TFileRead ReadRegularFile(const QString& path, QByteArray& data, qint64 limit) {
    data.clear();
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? TFileRead::Missing : TFileRead::Unreadable;
    const TFileRead result = ReadOpened(fd, data, limit);
    ::close(fd);
    if (result != TFileRead::Read)
        data.clear();
    return result;
}
