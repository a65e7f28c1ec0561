#include "StationFile.h"

#include <QFile>
#include <QStringDecoder>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Stations {
namespace {

// Windows-1251 both ways, built once from the system's converter so that the mapping is the
// standard one; the single byte the code page leaves undefined (0x98) maps to the control
// character of the same number, so junk in a file still writes back unchanged.
struct TCodePage1251 {
    std::array<char16_t, 128> High{};
    std::array<unsigned char, 0x10000> Reverse{}; // 0: no byte for this character

    TCodePage1251() {
        iconv_t cd = iconv_open("UTF-16LE", "CP1251");
        for (int b = 0x80; b <= 0xFF; ++b) {
            char16_t c = char16_t(b);
            if (cd != iconv_t(-1)) {
                char in = char(b);
                unsigned char out[4] = {};
                char* inPtr = &in;
                char* outPtr = reinterpret_cast<char*>(out);
                size_t inLeft = 1;
                size_t outLeft = sizeof out;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1) &&
                    sizeof out - outLeft == 2)
                    c = char16_t(out[0] | (out[1] << 8));
            }
            High[b - 0x80] = c;
        }
        if (cd != iconv_t(-1))
            iconv_close(cd);
        for (int b = 0x80; b <= 0xFF; ++b)
            Reverse[High[b - 0x80]] = static_cast<unsigned char>(b);
    }
};

const TCodePage1251& CodePage() {
    static const TCodePage1251 table;
    return table;
}

QString DecodeAll1251(const QByteArray& bytes) {
    const TCodePage1251& cp = CodePage();
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = b < 0x80 ? QChar(b) : QChar(cp.High[b - 0x80]);
    }
    return text;
}

bool EncodeAll1251(const QString& text, QByteArray& bytes) {
    bytes.resize(text.size());
    char* out = bytes.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!EncodeWindows1251(text[i], out + i))
            return false;
    }
    return true;
}

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

} // namespace

bool EncodeWindows1251(QChar c, char* byte) {
    const char16_t u = c.unicode();
    if (u < 0x80) {
        *byte = char(u);
        return true;
    }
    const unsigned char b = CodePage().Reverse[u];
    if (b == 0)
        return false;
    *byte = char(b);
    return true;
}

QChar DecodeWindows1251(unsigned char byte) {
    return byte < 0x80 ? QChar(byte) : QChar(CodePage().High[byte - 0x80]);
}

QStringList DecodeStationText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = DecodeAll1251(bytes);

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
    QByteArray bytes;
    if (EncodeAll1251(text, bytes))
        return bytes;
    return text.toUtf8();
}

bool LoadStationFile(const QString& path, QStringList& lines) {
    lines.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    lines = DecodeStationText(file.readAll());
    return true;
}

bool SaveStationFile(const QString& path, const QStringList& lines, QString* error) {
    const QByteArray target = QFile::encodeName(path);
    const QByteArray bytes = EncodeStationText(lines);

    // A name of our own beside the file, opened exclusively; the permission bits follow the
    // file being replaced, or the user's umask for a new one.
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
    int failure = 0;
    if (fd < 0) {
        failure = errno;
    } else {
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
    }
    if (failure == 0)
        return true;
    if (error)
        *error = QStringLiteral("Cannot create file \"%1\". %2").arg(path, SystemReason(failure));
    return false;
}

} // namespace Stations
