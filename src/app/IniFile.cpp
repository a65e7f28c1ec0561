#include "IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <limits>

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

QByteArray Lower(const QString& text) {
    return text.toUtf8().toLower();
}

} // namespace

TIniFile::TIniFile(const QString& fileName) : FFileName(fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    if (file.size() > MaxFileSize) {
        FTooLarge = true;
        return;
    }
    const QByteArray data = file.readAll();
    if (data.indexOf("\r\n") < 0 && data.indexOf('\n') >= 0)
        FLineEnd = "\n";
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = start;
        while (end < data.size() && data[end] != '\n' && data[end] != '\r')
            ++end;
        TLine line;
        line.Text = data.mid(start, end - start);
        const QByteArray trimmed = line.Text.trimmed();
        if (trimmed.startsWith('[')) {
            const qsizetype close = trimmed.indexOf(']');
            line.Section = true;
            line.SectionName = trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed().toLower();
        } else {
            const qsizetype eq = trimmed.indexOf('=');
            if (eq > 0)
                line.Key = trimmed.left(eq).trimmed().toLower();
        }
        FLines.push_back(std::move(line));
        if (end < data.size() && data[end] == '\r' && end + 1 < data.size() &&
            data[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
}

const TIniFile::TLine* TIniFile::Find(const QString& section, const QString& key) const {
    const QByteArray wantedSection = Lower(section);
    const QByteArray wantedKey = Lower(key);
    bool inSection = false;
    for (const TLine& line : FLines) {
        if (line.Section)
            inSection = line.SectionName == wantedSection;
        else if (inSection && line.Key == wantedKey)
            return &line;
    }
    return nullptr;
}

QString TIniFile::ReadString(const QString& section, const QString& key,
                             const QString& Default) const {
    const TLine* line = Find(section, key);
    if (!line)
        return Default;
    QByteArray value = line->Text.mid(line->Text.indexOf('=') + 1).trimmed();
    // A value wrapped in matching quotes is read without them, as the profile functions do.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return QString::fromUtf8(value).left(MaxStringLength);
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int Default) const {
    const TLine* line = Find(section, key);
    if (!line)
        return Default;
    return ParseIniInteger(ReadString(section, key, QString()).toUtf8(), Default);
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool Default) const {
    return ReadInteger(section, key, Default ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    if (FTooLarge)
        throw EIniFileError(QStringLiteral("Unable to write to %1").arg(FFileName));
    const std::vector<TLine> before = FLines;
    TLine entry;
    entry.Text = key.toUtf8() + '=' + value.toUtf8();
    entry.Key = Lower(key);

    const QByteArray wantedSection = Lower(section);
    const QByteArray wantedKey = entry.Key;
    bool inSection = false;
    qsizetype sectionEnd = -1; // index after the last line of the wanted section
    bool done = false;
    for (size_t i = 0; i < FLines.size() && !done; ++i) {
        TLine& line = FLines[i];
        if (line.Section) {
            inSection = line.SectionName == wantedSection;
            if (inSection)
                sectionEnd = static_cast<qsizetype>(i) + 1;
        } else if (inSection) {
            if (line.Key == wantedKey) {
                line = entry;
                done = true;
            } else if (!line.Text.trimmed().isEmpty()) {
                sectionEnd = static_cast<qsizetype>(i) + 1;
            }
        }
    }
    if (!done) {
        if (sectionEnd < 0) {
            TLine header;
            header.Text = '[' + section.toUtf8() + ']';
            header.Section = true;
            header.SectionName = wantedSection;
            FLines.push_back(header);
            FLines.push_back(entry);
        } else {
            FLines.insert(FLines.begin() + sectionEnd, entry);
        }
    }
    try {
        Save();
    } catch (...) {
        FLines = before;
        throw;
    }
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::Save() const {
    QByteArray data;
    for (const TLine& line : FLines) {
        data += line.Text;
        data += FLineEnd;
    }
    // A file the user made read-only stays as it is, although its folder would allow a replace
    // (and even for the superuser, who could write it anyway).
    const QFileInfo info(FFileName);
    constexpr auto anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (info.exists() && (!info.isWritable() || !(info.permissions() & anyWrite)))
        throw EIniFileError(QStringLiteral("Unable to write to %1").arg(FFileName));
    QSaveFile file(FFileName);
    // QSaveFile falls back to writing in place when it cannot create its temporary file; the
    // previous file must stay whole instead.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        throw EIniFileError(QStringLiteral("Unable to write to %1").arg(FFileName));
}
