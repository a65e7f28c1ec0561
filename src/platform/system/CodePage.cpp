#include "CodePage.h"

#include <array>
#include <iconv.h>

namespace CodePage {
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

const TCodePage1251& Table() {
    static const TCodePage1251 table;
    return table;
}

} // namespace

bool EncodeWindows1251(QChar c, char* byte) {
    const char16_t u = c.unicode();
    if (u < 0x80) {
        *byte = char(u);
        return true;
    }
    const unsigned char b = Table().Reverse[u];
    if (b == 0)
        return false;
    *byte = char(b);
    return true;
}

QChar DecodeWindows1251(unsigned char byte) {
    return byte < 0x80 ? QChar(byte) : QChar(Table().High[byte - 0x80]);
}

QString DecodeWindows1251(const QByteArray& bytes) {
    const TCodePage1251& cp = Table();
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = b < 0x80 ? QChar(b) : QChar(cp.High[b - 0x80]);
    }
    return text;
}

bool EncodeWindows1251(const QString& text, QByteArray& bytes) {
    bytes.resize(text.size());
    char* out = bytes.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!EncodeWindows1251(text[i], out + i))
            return false;
    }
    return true;
}

// A streaming decoder would hold back a sequence cut off at the end (a Windows-1251 "Р" after
// ASCII text, for one) and drop it without an error, so validity is checked on the whole.
QString DecodeSystemText(const QByteArray& bytes) {
    return bytes.isValidUtf8() ? QString::fromUtf8(bytes) : DecodeWindows1251(bytes);
}

// Some Windows-1251 byte runs are also valid UTF-8 ("РЎ" for one) and would read back as other
// characters; such text goes out in UTF-8.
QByteArray EncodeSystemText(const QString& text) {
    QByteArray bytes;
    if (EncodeWindows1251(text, bytes) && DecodeSystemText(bytes) == text)
        return bytes;
    return text.toUtf8();
}

} // namespace CodePage
