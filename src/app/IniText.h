#pragma once

// The text of a settings file as lines, read the way the Windows profile functions read it and
// written back so that every line the program does not write keeps its bytes.
//
// A file starts either with a byte order mark (UTF-8, UTF-16 LE or UTF-16 BE) or with text in
// the system's single-byte code page. Without a mark, each key and each value is UTF-8 when its
// bytes are valid UTF-8 and Windows-1251 otherwise, as files from Windows and from Linux editors
// mix; new values go out in Windows-1251 when they fit. In a UTF-8 file new values go out in
// UTF-8 (a value there that is not valid UTF-8 still reads as Windows-1251 rather than as
// replacement characters, so writing it back loses nothing). A UTF-16 file stays UTF-16 with
// its mark. A mark anywhere but at the start counts as a space around names and values.

#include <QByteArray>
#include <QString>
#include <vector>

namespace IniText {

enum class TEncoding { CodePage, Utf8, Utf16LE, Utf16BE };

enum class TLineKind : quint8 {
    Blank,   // nothing but spaces and tabs
    Other,   // "=value" without a name
    Section, // "[name]"
    Key,     // "name=value", or a bare "name", which is the name with an empty value
};

// A line end as the file holds it; None only for a last line without one.
enum class TLineEnd : quint8 { None, Cr, Lf, CrLf };

struct TLine {
    QByteArray Raw; // the line's bytes as the file holds them, without its end
    TLineEnd End = TLineEnd::None;
    TLineKind Kind = TLineKind::Blank;
    QString Name; // section or key name, case-folded for matching
};

struct TDocument {
    TEncoding Encoding = TEncoding::CodePage;
    QByteArray Mark; // the byte order mark the file starts with
    std::vector<TLine> Lines;
    // The odd last byte of a UTF-16 file: not part of any character, so it is not read, and it
    // stays the file's last byte on writing, since it may be all that is left of something.
    QByteArray Trailer;
    TLineEnd NewLineEnd = TLineEnd::CrLf; // the style the file uses, for new lines
};

TDocument Parse(const QByteArray& data);
QByteArray Compose(const TDocument& document);

// A new line holding `text`, encoded for the document's file and classified; it ends in the
// document's NewLineEnd.
TLine MakeLine(const TDocument& document, const QString& text);

// The name of a section line as the file spells it (Name holds it case-folded).
QString SectionName(const TDocument& document, const TLine& line);

// The value of a key line: after the first "=", without surrounding spaces and tabs or one
// pair of matching quotes; empty for a bare key.
QString Value(const TDocument& document, const TLine& line);

} // namespace IniText
