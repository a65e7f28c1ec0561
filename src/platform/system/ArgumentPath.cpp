#include "ArgumentPath.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>

QString FolderArgumentPath(const QByteArray& raw) {
    const QString decoded = QFile::decodeName(raw);
    if (QFile::encodeName(decoded) == raw)
        return decoded;
    ::mkdir(raw.constData(), 0777); // an existing folder is fine
    const int fd = ::open(raw.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return decoded;
    return QStringLiteral("/proc/self/fd/%1").arg(fd);
}
