#include "IniText.h"

#include "platform/system/CodePage.h"

#include <array>

namespace IniText {
namespace {

bool IsUtf16(TEncoding encoding) {
    return encoding == TEncoding::Utf16LE || encoding == TEncoding::Utf16BE;
}

// Spaces and tabs (and the other ASCII blanks) around names and values do not count, nor does a
// byte order mark, which has no meaning after the start of a file (files pasted together leave
// them at the start of a line); other characters, a no-break space among them, are text.
QStringView Trimmed(QStringView text) {
    const auto blank = [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == u'\r' || c == u'\n' ||
               c == u'\uFEFF';
    };
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && blank(text[start]))
        ++start;
    while (end > start && blank(text[end - 1]))
        --end;
    return text.sliced(start, end - start);
}

QString DecodeUtf16(QByteArrayView bytes, bool bigEndian) {
    QString text(bytes.size() / 2, Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        out[i] = QChar(char16_t(bigEndian ? (first << 8) | second : (second << 8) | first));
    }
    return text;
}

// Code unit by code unit, so that whatever was read (a lone surrogate included) goes back
// exactly.
QByteArray EncodeUtf16(QStringView text, bool bigEndian) {
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar c : text) {
        const char high = char(c.unicode() >> 8);
        const char low = char(c.unicode() & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

// The name and the value of a line without a mark are told apart each on its own: a Windows
// program's value and one an editor added in UTF-8 often share a file.
QString Decode(const QByteArray& raw, TEncoding encoding) {
    if (IsUtf16(encoding))
        return DecodeUtf16(raw, encoding == TEncoding::Utf16BE);
    const qsizetype eq = raw.indexOf('=');
    if (eq < 0)
        return CodePage::DecodeSystemText(raw);
    return CodePage::DecodeSystemText(raw.left(eq)) + u'=' +
           CodePage::DecodeSystemText(raw.sliced(eq + 1));
}

QByteArray Encode(const QString& text, TEncoding encoding) {
    switch (encoding) {
    case TEncoding::Utf8:
        return text.toUtf8();
    case TEncoding::Utf16LE:
    case TEncoding::Utf16BE:
        return EncodeUtf16(text, encoding == TEncoding::Utf16BE);
    case TEncoding::CodePage:
        break;
    }
    const qsizetype eq = text.indexOf(u'=');
    if (eq < 0)
        return CodePage::EncodeSystemText(text);
    return CodePage::EncodeSystemText(text.left(eq)) + '=' +
           CodePage::EncodeSystemText(text.sliced(eq + 1));
}

// The bytes of each TLineEnd in a file of that encoding.
std::array<QByteArray, 4> LineEnds(TEncoding encoding) {
    return {QByteArray(), Encode(QStringLiteral("\r"), encoding),
            Encode(QStringLiteral("\n"), encoding), Encode(QStringLiteral("\r\n"), encoding)};
}

// The name inside a header's brackets; a header without its "]" runs to the end of the line.
QStringView HeaderName(QStringView trimmed) {
    const qsizetype close = trimmed.indexOf(u']');
    return Trimmed(close < 0 ? trimmed.sliced(1) : trimmed.sliced(1, close - 1));
}

void Classify(TLine& line, const QString& text) {
    const QStringView trimmed = Trimmed(text);
    line.Name.clear();
    if (trimmed.isEmpty()) {
        line.Kind = TLineKind::Blank;
    } else if (trimmed.front() == u'[') {
        line.Kind = TLineKind::Section;
        line.Name = HeaderName(trimmed).toString().toCaseFolded();
    } else {
        const qsizetype eq = trimmed.indexOf(u'=');
        line.Kind = eq == 0 ? TLineKind::Other : TLineKind::Key;
        if (eq != 0)
            line.Name = Trimmed(eq < 0 ? trimmed : trimmed.left(eq)).toString().toCaseFolded();
    }
}

// Lines end at CR LF, LF or a lone CR, as before; `unit(i)` is the i-th code unit of the text.
template <typename TUnitAt>
void SplitLines(TDocument& document, const QByteArray& body, qsizetype units, qsizetype width,
                TUnitAt unit) {
    qsizetype start = 0;
    while (start < units) {
        qsizetype end = start;
        while (end < units && unit(end) != u'\n' && unit(end) != u'\r')
            ++end;
        TLine line;
        line.Raw = body.sliced(start * width, (end - start) * width);
        qsizetype endLength = 0;
        if (end < units && unit(end) == u'\n') {
            line.End = TLineEnd::Lf;
            endLength = 1;
        } else if (end < units) {
            const bool crlf = end + 1 < units && unit(end + 1) == u'\n';
            line.End = crlf ? TLineEnd::CrLf : TLineEnd::Cr;
            endLength = crlf ? 2 : 1;
        }
        Classify(line, Decode(line.Raw, document.Encoding));
        document.Lines.push_back(std::move(line));
        start = end + endLength;
    }
}

} // namespace

TDocument Parse(const QByteArray& data) {
    TDocument document;
    if (data.startsWith("\xEF\xBB\xBF")) {
        document.Encoding = TEncoding::Utf8;
        document.Mark = data.left(3);
    } else if (data.startsWith("\xFF\xFE")) {
        document.Encoding = TEncoding::Utf16LE;
        document.Mark = data.left(2);
    } else if (data.startsWith("\xFE\xFF")) {
        document.Encoding = TEncoding::Utf16BE;
        document.Mark = data.left(2);
    }
    QByteArray body = data.sliced(document.Mark.size());
    if (IsUtf16(document.Encoding)) {
        if (body.size() % 2 != 0) {
            document.Trailer = body.right(1);
            body.chop(1);
        }
        const QString text = DecodeUtf16(body, document.Encoding == TEncoding::Utf16BE);
        SplitLines(document, body, text.size(), 2,
                   [&text](qsizetype i) { return text[i].unicode(); });
    } else {
        SplitLines(document, body, body.size(), 1,
                   [&body](qsizetype i) { return char16_t(static_cast<unsigned char>(body[i])); });
    }
    // New lines follow the file: CR LF when any line ends so (or none ends at all), else LF.
    bool crlf = false;
    bool lf = false;
    for (const TLine& line : document.Lines) {
        crlf = crlf || line.End == TLineEnd::CrLf;
        lf = lf || line.End == TLineEnd::Lf;
    }
    document.NewLineEnd = lf && !crlf ? TLineEnd::Lf : TLineEnd::CrLf;
    return document;
}

QByteArray Compose(const TDocument& document) {
    const std::array<QByteArray, 4> ends = LineEnds(document.Encoding);
    QByteArray data = document.Mark;
    for (const TLine& line : document.Lines) {
        data += line.Raw;
        data += ends[static_cast<size_t>(line.End)];
    }
    data += document.Trailer;
    return data;
}

TLine MakeLine(const TDocument& document, const QString& text) {
    TLine line;
    line.Raw = Encode(text, document.Encoding);
    line.End = document.NewLineEnd;
    Classify(line, Decode(line.Raw, document.Encoding));
    return line;
}

QString SectionName(const TDocument& document, const TLine& line) {
    if (line.Kind != TLineKind::Section)
        return {};
    const QString text = Decode(line.Raw, document.Encoding);
    return HeaderName(Trimmed(text)).toString();
}

QString Value(const TDocument& document, const TLine& line) {
    if (line.Kind != TLineKind::Key)
        return {};
    const QString text = Decode(line.Raw, document.Encoding);
    const qsizetype eq = text.indexOf(u'=');
    if (eq < 0)
        return {};
    QStringView value = Trimmed(QStringView(text).sliced(eq + 1));
    // A value wrapped in matching quotes is read without them, as the profile functions do.
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    return value.toString();
}

} // namespace IniText
