#include "StationFile.h"

#include "platform/system/CodePage.h"
#include "platform/system/RegularFile.h"

#include <QFile>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace Stations {
namespace {

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error)).trimmed();
}

bool WriteAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

// The path up to and including its last slash: where a relative link's target starts from.
QByteArray FolderPrefix(const QByteArray& path) {
    return path.left(path.lastIndexOf('/') + 1);
}

// The file a write through `path` lands in: symbolic links are followed, a relative target
// from the link's own folder. A link to a file that does not exist yet gives that target,
// where the save then creates it, as writing through the link would: the user made the link
// to keep the list there. Anything lstat cannot look at ends the walk, and the write reports
// the reason. false (errno set) for a link loop or a link that cannot be read.
bool FollowLinks(QByteArray& path) {
    constexpr int maxLinks = 40; // the kernel's own limit for one lookup
    for (int links = 0; links <= maxLinks; ++links) {
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.constData(), target, sizeof target);
        if (n < 0)
            return false;
        if (size_t(n) >= sizeof target) {
            errno = ENAMETOOLONG;
            return false;
        }
        const QByteArray next(target, n);
        path = next.startsWith('/') ? next : FolderPrefix(path) + next;
    }
    errno = ELOOP;
    return false;
}

// Writes the bytes to a name of our own beside `target` (a rename replaces a file in one step
// only within one file system), opened exclusively, and renames it over `target`; 0, or the
// errno of the step that failed, after which the temporary file is gone. The permission bits
// follow the file being replaced, or the user's umask for a new one.
int ReplaceFile(const QByteArray& target, const QByteArray& bytes) {
    static std::atomic<unsigned> counter{0};
    int fd = -1;
    QByteArray temp;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = target + ".tmp" + QByteArray::number(qint64(::getpid())) + "-" +
               QByteArray::number(counter++);
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return errno;
    int failure = 0;
    struct stat old {};
    if (::stat(target.constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);
    if (!WriteAll(fd, bytes) || ::fsync(fd) != 0)
        failure = errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure == 0 && ::rename(temp.constData(), target.constData()) != 0)
        failure = errno;
    if (failure != 0)
        ::unlink(temp.constData());
    return failure;
}

// The temporary files of a save of `file` are named "<file>.tmp<pid>-<n>"; the writer's pid
// from such a name (without the folder), or 0 when the name is anything else.
pid_t TemporaryWriter(const QByteArray& name, const QByteArray& fileName) {
    const QByteArray stem = fileName + ".tmp";
    if (!name.startsWith(stem))
        return 0;
    const QByteArray rest = name.mid(stem.size());
    const qsizetype dash = rest.indexOf('-');
    const QByteArray pidText = rest.left(dash);
    const QByteArray counterText = rest.mid(dash + 1);
    auto isNumber = [](const QByteArray& text) {
        if (text.isEmpty() || text.size() > 10 || (text.size() > 1 && text[0] == '0'))
            return false;
        return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (dash < 0 || !isNumber(pidText) || !isNumber(counterText))
        return 0;
    const qint64 pid = pidText.toLongLong();
    return pid > 0 && pid <= std::numeric_limits<pid_t>::max() ? pid_t(pid) : 0;
}

QByteArray CommandName(const QByteArray& pid) {
    QFile file(QString::fromLatin1("/proc/" + pid + "/comm"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

// A save in progress by another copy of this program must keep its file; a pid that no
// longer runs, or now belongs to some other program, wrote its file before it was killed.
bool WriterGone(pid_t pid) {
    if (pid == ::getpid())
        return false;
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return true;
    const QByteArray theirs = CommandName(QByteArray::number(qint64(pid)));
    const QByteArray ours = CommandName("self");
    return !theirs.isEmpty() && !ours.isEmpty() && theirs != ours;
}

void RemoveStaleTemporariesBeside(const QByteArray& file) {
    const QByteArray folder = FolderPrefix(file);
    const QByteArray fileName = file.mid(folder.size());
    DIR* dir = ::opendir(folder.isEmpty() ? "." : folder.constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        const pid_t writer = TemporaryWriter(name, fileName);
        struct stat st {};
        // Only a plain file of exactly that name goes, never what a link points to.
        if (writer > 0 && ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && WriterGone(writer))
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

} // namespace

QStringList DecodeStationText(const QByteArray& bytes) {
    const QString text = CodePage::DecodeSystemText(bytes);

    QStringList lines;
    const QChar* data = text.constData();
    const qsizetype size = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = data[i].unicode();
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(QString(data + start, i - start));
        if (c == u'\r' && i + 1 < size && data[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines.append(QString(data + start, size - start));
    return lines;
}

QByteArray EncodeStationText(const QStringList& lines) {
    QString text;
    qsizetype total = 0;
    for (const QString& line : lines)
        total += line.size() + 2;
    text.reserve(total);
    for (const QString& line : lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    return CodePage::EncodeSystemText(text);
}

void RemoveStaleTemporaries(const QString& path) {
    const QByteArray given = QFile::encodeName(path);
    QByteArray target = given;
    if (FollowLinks(target) && target != given)
        RemoveStaleTemporariesBeside(target);
    // Saves used to write beside the link itself; their leftovers go too.
    RemoveStaleTemporariesBeside(given);
}

bool LoadStationFile(const QString& path, QStringList& lines, QString* reason) {
    lines.clear();
    RemoveStaleTemporaries(path);
    QByteArray bytes;
    const TFileRead read = ReadRegularFile(path, bytes);
    if (reason)
        *reason = read == TFileRead::NotRegular   ? QStringLiteral("not a regular file")
                  : read == TFileRead::Unreadable ? SystemReason(errno)
                                                  : QString();
    if (read != TFileRead::Read)
        return false;
    lines = DecodeStationText(bytes);
    return true;
}

QString CannotCreateText(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
}

bool SaveStationFile(const QString& path, const QStringList& lines, QString* error) {
    // Through a symbolic link the link stays and its target gets the list.
    QByteArray target = QFile::encodeName(path);
    const int failure = FollowLinks(target) ? ReplaceFile(target, EncodeStationText(lines)) : errno;
    if (failure == 0)
        return true;
    if (error)
        *error = CannotCreateText(path, SystemReason(failure));
    return false;
}

} // namespace Stations
