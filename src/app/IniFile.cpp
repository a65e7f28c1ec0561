#include "IniFile.h"

#include "platform/system/RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

EIniFileError::EIniFileError(const QString& message) : std::runtime_error(message.toStdString()) {}

int ParseIniInteger(const QByteArray& text, int Default) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int base = 10;
    if (i < n && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == n)
        return Default;
    const quint64 limit = base == 16 ? 0xFFFFFFFFull : (negative ? 2147483648ull : 2147483647ull);
    quint64 value = 0;
    for (; i < n; ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return Default;
        value = value * base + digit;
        if (value > limit)
            return Default;
    }
    // Hexadecimal text covers the full 32 bits and wraps into the signed range.
    const auto magnitude = static_cast<quint32>(value);
    const auto result = static_cast<qint32>(negative ? 0u - magnitude : magnitude);
    return result;
}

namespace {

using IniText::TLine;
using IniText::TLineEnd;
using IniText::TLineKind;

// A path that holds something other than a regular file (a FIFO, a folder, a device, a loop of
// links) is never replaced by a file; a dangling link gets its target created. The reason it may
// not, or "" when it may.
QString ReplaceRefusal(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        return S_ISREG(st.st_mode) ? QString() : QStringLiteral("not a regular file");
    return errno == ENOENT ? QString() : QString::fromLocal8Bit(std::strerror(errno));
}

// Where a section's lines are: only the first section of a name counts.
struct TSectionRange {
    size_t Header = 0; // the header line; Lines.size() when there is no such section
    size_t End = 0;    // the next section's header, or Lines.size()
};

TSectionRange FindSection(const std::vector<TLine>& lines, const QString& section) {
    const QString name = section.toCaseFolded();
    TSectionRange range{lines.size(), lines.size()};
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].Kind != TLineKind::Section)
            continue;
        if (range.Header < lines.size()) {
            range.End = i;
            break;
        }
        if (lines[i].Name == name)
            range.Header = i;
    }
    return range;
}

// The first line of the key in that section; lines.size() when there is none.
size_t FindKey(const std::vector<TLine>& lines, const TSectionRange& range, const QString& key) {
    const QString name = key.toCaseFolded();
    for (size_t i = range.Header + 1; i < range.End; ++i) {
        if (lines[i].Kind == TLineKind::Key && lines[i].Name == name)
            return i;
    }
    return lines.size();
}

// A new line after a last line without a line end gives that line one.
void InsertLine(IniText::TDocument& document, size_t at, TLine line) {
    std::vector<TLine>& lines = document.Lines;
    if (at > 0 && lines[at - 1].End == TLineEnd::None)
        lines[at - 1].End = document.NewLineEnd;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

void PutKey(IniText::TDocument& document, const QString& section, const QString& key,
            const QString& value) {
    std::vector<TLine>& lines = document.Lines;
    const TSectionRange range = FindSection(lines, section);
    const size_t found = FindKey(lines, range, key);
    TLine entry = IniText::MakeLine(document, key + u'=' + value);
    if (range.Header == lines.size()) {
        InsertLine(document, lines.size(), IniText::MakeLine(document, u'[' + section + u']'));
        InsertLine(document, lines.size(), std::move(entry));
    } else if (found < lines.size()) {
        TLine& line = lines[found];
        // A key that already holds the value keeps its line as it stands: spelling, spaces,
        // quotes and code page.
        if (IniText::Value(document, line) != value) {
            entry.End = line.End;
            line = std::move(entry);
        }
    } else {
        size_t at = range.Header + 1;
        for (size_t i = at; i < range.End; ++i) {
            if (lines[i].Kind != TLineKind::Blank)
                at = i + 1;
        }
        InsertLine(document, at, std::move(entry));
    }
}

// Every line of the key goes: removing only the first would bring back the next one.
void EraseKey(IniText::TDocument& document, const QString& section, const QString& key) {
    std::vector<TLine>& lines = document.Lines;
    const TSectionRange range = FindSection(lines, section);
    if (range.Header == lines.size())
        return;
    const QString name = key.toCaseFolded();
    const auto first = lines.begin() + static_cast<std::ptrdiff_t>(range.Header + 1);
    const auto last = lines.begin() + static_cast<std::ptrdiff_t>(range.End);
    lines.erase(std::remove_if(first, last,
                               [&name](const TLine& line) {
                                   return line.Kind == TLineKind::Key && line.Name == name;
                               }),
                last);
}

} // namespace

TIniFile::TIniFile(const QString& fileName) : FFileName(fileName) {
    QByteArray data;
    switch (ReadRegularFile(fileName, data, MaxFileSize)) {
    case TFileRead::Read:
        FDocument = IniText::Parse(data);
        break;
    case TFileRead::Missing:
    case TFileRead::NotRegular: // reads as missing; Save never replaces it
        break;
    case TFileRead::Unreadable:
        FKeepAsIs = QString::fromLocal8Bit(std::strerror(errno));
        break;
    case TFileRead::TooLarge:
        FKeepAsIs = QStringLiteral("larger than 64 MiB");
        break;
    }
}

const TLine* TIniFile::Find(const QString& section, const QString& key) const {
    const std::vector<TLine>& lines = FDocument.Lines;
    const size_t i = FindKey(lines, FindSection(lines, section), key);
    return i < lines.size() ? &lines[i] : nullptr;
}

QString TIniFile::ReadString(const QString& section, const QString& key,
                             const QString& Default) const {
    const TLine* line = Find(section, key);
    if (!line)
        return Default;
    return IniText::Value(FDocument, *line).left(MaxStringLength);
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int Default) const {
    const TLine* line = Find(section, key);
    if (!line)
        return Default;
    return ParseIniInteger(IniText::Value(FDocument, *line).toUtf8(), Default);
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool Default) const {
    return ReadInteger(section, key, Default ? 1 : 0) != 0;
}

QStringList TIniFile::Sections() const {
    QStringList names;
    QStringList folded;
    for (const TLine& line : FDocument.Lines) {
        if (line.Kind != TLineKind::Section || folded.contains(line.Name))
            continue;
        folded += line.Name;
        names += IniText::SectionName(FDocument, line);
    }
    return names;
}

QMap<QString, QString> TIniFile::ReadSection(const QString& section) const {
    const std::vector<TLine>& lines = FDocument.Lines;
    const TSectionRange range = FindSection(lines, section);
    QMap<QString, QString> keys;
    for (size_t i = range.Header + 1; i < range.End; ++i) {
        if (lines[i].Kind == TLineKind::Key && !keys.contains(lines[i].Name))
            keys.insert(lines[i].Name, IniText::Value(FDocument, lines[i]).left(MaxStringLength));
    }
    return keys;
}

IniText::TDocument TIniFile::Edit() const {
    if (!FKeepAsIs.isEmpty())
        Refuse(FKeepAsIs);
    return FDocument;
}

void TIniFile::Commit(IniText::TDocument document) {
    Save(document);
    FDocument = std::move(document);
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    IniText::TDocument next = Edit();
    PutKey(next, section, key, value);
    Commit(std::move(next));
}

void TIniFile::UpdateSection(const QString& section,
                             const QList<std::pair<QString, QString>>& values,
                             const QStringList& erase) {
    IniText::TDocument next = Edit();
    for (const QString& key : erase)
        EraseKey(next, section, key);
    for (const auto& [key, value] : values)
        PutKey(next, section, key, value);
    Commit(std::move(next));
}

void TIniFile::EraseSection(const QString& section) {
    IniText::TDocument next = Edit();
    const TSectionRange range = FindSection(next.Lines, section);
    if (range.Header == next.Lines.size())
        return;
    next.Lines.erase(next.Lines.begin() + static_cast<std::ptrdiff_t>(range.Header),
                     next.Lines.begin() + static_cast<std::ptrdiff_t>(range.End));
    Commit(std::move(next));
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::Refuse(const QString& reason) const {
    throw EIniFileError(QStringLiteral("Unable to write to %1: %2").arg(FFileName, reason));
}

void TIniFile::Save(const IniText::TDocument& document) const {
    const QByteArray data = IniText::Compose(document);
    if (const QString refusal = ReplaceRefusal(FFileName); !refusal.isEmpty())
        Refuse(refusal);
    // A file the user made read-only stays as it is, although its folder would allow a replace
    // (and even for the superuser, who could write it anyway).
    const QFileInfo info(FFileName);
    constexpr auto anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (info.exists() && (!info.isWritable() || !(info.permissions() & anyWrite)))
        Refuse(QStringLiteral("the file is read-only"));
    // QSaveFile writes through a symbolic link: it replaces the link's target in the target's
    // folder and leaves the link.
    QSaveFile file(FFileName);
    // QSaveFile falls back to writing in place when it cannot create its temporary file; the
    // previous file must stay whole instead.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        Refuse(file.errorString());
}
