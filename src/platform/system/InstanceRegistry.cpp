#include "InstanceRegistry.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <semaphore.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

std::string SemaphoreFile(const std::string& name) {
    return "/dev/shm/sem." + name.substr(1);
}

timespec DeadlineAfter(std::chrono::milliseconds timeout) {
    timespec at{};
    clock_gettime(CLOCK_REALTIME, &at);
    const long long ns = at.tv_nsec + (timeout.count() % 1000) * 1000000ll;
    at.tv_sec += time_t(timeout.count() / 1000 + ns / 1000000000ll);
    at.tv_nsec = long(ns % 1000000000ll);
    return at;
}

// The named lock, held for the object's life. A holder that never lets go (killed while
// holding it) is outlived: after the timeout the semaphore is replaced by a new one, and the
// replacement is serialised by a file lock on the old one so that two waiters never both do it.
class TSemaphoreLock {
public:
    TSemaphoreLock(const std::string& name, std::chrono::milliseconds timeout, bool& recovered)
        : FName(name) {
        for (int attempt = 0; attempt < 3 && !FHeld; ++attempt) {
            if (!Open())
                return;
            FHeld = Wait(timeout) || Replace(recovered);
        }
    }
    ~TSemaphoreLock() {
        if (FHeld)
            sem_post(FSem);
        if (FSem)
            sem_close(FSem);
    }
    TSemaphoreLock(const TSemaphoreLock&) = delete;
    TSemaphoreLock& operator=(const TSemaphoreLock&) = delete;

    bool Held() const { return FHeld; }

private:
    bool Open() {
        if (FSem)
            sem_close(FSem);
        FSem = nullptr;
        sem_t* sem = sem_open(FName.c_str(), O_CREAT | O_EXCL, 0600, 1);
        if (sem == SEM_FAILED && errno == EEXIST)
            sem = sem_open(FName.c_str(), 0);
        if (sem == SEM_FAILED)
            return false;
        FSem = sem;
        // Another user's semaphore under our name is not waited on: we go on alone.
        struct stat info {};
        if (stat(SemaphoreFile(FName).c_str(), &info) != 0 || info.st_uid != geteuid())
            return false;
        FInode = info.st_ino;
        return true;
    }

    bool Wait(std::chrono::milliseconds timeout) {
        const timespec deadline = DeadlineAfter(timeout);
        for (;;) {
            if (sem_timedwait(FSem, &deadline) == 0)
                return true;
            if (errno != EINTR)
                return false;
        }
    }

    // Gives true holding the lock: the old semaphore let go meanwhile, or a new one took its
    // place. False when another waiter replaced it first: it is then opened again.
    bool Replace(bool& recovered) {
        const std::string file = SemaphoreFile(FName);
        const int fd = open(file.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            return false;
        bool locked = false;
        for (int i = 0; i < 200 && !(locked = flock(fd, LOCK_EX | LOCK_NB) == 0); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        bool held = false;
        struct stat now {};
        if (!locked) {
            // Someone else is replacing it for longer than any replacement takes.
        } else if (sem_trywait(FSem) == 0) {
            held = true;
        } else if (stat(file.c_str(), &now) == 0 && now.st_ino == FInode) {
            sem_unlink(FName.c_str());
            sem_t* fresh = sem_open(FName.c_str(), O_CREAT | O_EXCL, 0600, 0);
            if (fresh != SEM_FAILED) {
                sem_close(FSem);
                FSem = fresh;
                held = true;
                recovered = true;
            }
        }
        close(fd);
        return held;
    }

    std::string FName;
    sem_t* FSem = nullptr;
    ino_t FInode = 0;
    bool FHeld = false;
};

// One block mapped from shared memory, or a private zero block when the shared one cannot be
// used (no shared memory, or an object of that name that another user owns). Every block is
// its user's alone: the names carry the user, and a block others could write (left by an
// older version, or made so on purpose) is not trusted but replaced.
class TBlockMapping {
public:
    explicit TBlockMapping(const std::string& name) : FName(name) {
        if (name.empty())
            return;
        int fd = Create();
        if (fd < 0 && errno == EEXIST) {
            fd = shm_open(name.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0);
            struct stat info {};
            if (fd >= 0 && fstat(fd, &info) == 0 && info.st_uid == geteuid() &&
                (info.st_mode & 077) != 0) {
                close(fd);
                shm_unlink(name.c_str());
                fd = Create();
            }
        }
        if (fd < 0)
            return;
        struct stat info {};
        const bool ours = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                          info.st_uid == geteuid() && (info.st_mode & 077) == 0;
        if (ours && (info.st_size >= off_t(InstanceBlockSize) ||
                     ftruncate(fd, off_t(InstanceBlockSize)) == 0)) {
            void* map = mmap(nullptr, InstanceBlockSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            if (map != MAP_FAILED)
                FMap = static_cast<TInstanceBlock*>(map);
        }
        close(fd);
    }
    ~TBlockMapping() {
        if (FMap)
            munmap(FMap, InstanceBlockSize);
    }
    TBlockMapping(const TBlockMapping&) = delete;
    TBlockMapping& operator=(const TBlockMapping&) = delete;

    TInstanceBlock& Block() { return FMap ? *FMap : FPrivate; }
    // An empty block is the same as none: removing it leaves nothing behind in /dev/shm.
    void RemoveIfEmpty() {
        if (FMap && BlockCount(*FMap) == 0)
            shm_unlink(FName.c_str());
    }

private:
    int Create() const {
        const int fd =
            shm_open(FName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0)
            fchmod(fd, 0600); // the creator's umask is not the block's rule
        return fd;
    }

    std::string FName;
    TInstanceBlock* FMap = nullptr;
    TInstanceBlock FPrivate{};
};

} // namespace

// ---- The shared registry

TInstanceRegistry::TInstanceRegistry(TInstanceNames names, std::uint32_t pid,
                                     std::function<bool(std::uint32_t)> isRunning,
                                     std::chrono::milliseconds lockTimeout)
    : FNames(std::move(names)), FPid(pid), FIsRunning(std::move(isRunning)),
      FLockTimeout(lockTimeout) {}

template <class F> void TInstanceRegistry::Locked(F&& change) {
    std::vector<std::uint32_t> dropped;
    {
        // Without the lock the blocks are not touched: this instance then acts alone.
        TSemaphoreLock lock(FNames.Lock, FLockTimeout, FLockRecovered);
        const bool shared = lock.Held();
        TBlockMapping all(shared ? FNames.All : std::string());
        TBlockMapping session(shared ? FNames.Session : std::string());
        TBlockMapping user(shared ? FNames.User : std::string());
        TBlockMapping* blocks[3] = {&all, &session, &user};
        for (TBlockMapping* block : blocks)
            for (std::uint32_t id : TidyBlock(block->Block(), FIsRunning))
                if (std::find(dropped.begin(), dropped.end(), id) == dropped.end())
                    dropped.push_back(id);
        change(blocks);
    }
    if (OnDropped)
        for (std::uint32_t id : dropped)
            OnDropped(id);
}

bool TInstanceRegistry::Register() {
    bool within = true;
    Locked([&](TBlockMapping* const* blocks) {
        within = RegisterInBlock(blocks[0]->Block(), FPid, 0xFFFF);
        within = RegisterInBlock(blocks[1]->Block(), FPid, 0) && within;
        within = RegisterInBlock(blocks[2]->Block(), FPid, 0) && within;
    });
    return within;
}

std::vector<std::uint32_t> TInstanceRegistry::Instances() {
    std::vector<std::uint32_t> ids;
    Locked([&](TBlockMapping* const* blocks) { ids = BlockProcessIds(blocks[0]->Block()); });
    return ids;
}

std::vector<std::uint32_t> TInstanceRegistry::Unregister() {
    std::vector<std::uint32_t> remaining;
    Locked([&](TBlockMapping* const* blocks) {
        for (int i = 0; i < 3; ++i) {
            UnregisterFromBlock(blocks[i]->Block(), FPid);
            blocks[i]->RemoveIfEmpty();
        }
        remaining = BlockProcessIds(blocks[0]->Block());
    });
    return remaining;
}
