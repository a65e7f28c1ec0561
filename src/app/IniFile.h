#pragma once

#include <QByteArray>
#include <QString>
#include <stdexcept>
#include <vector>

// Raised when the system refuses a write; the text is "Unable to write to <path>".
class EIniFileError : public std::runtime_error {
public:
    explicit EIniFileError(const QString& message);
    QString Message() const { return QString::fromUtf8(what()); }
};

// Parses an integer the way the settings file stores it: optional sign, decimal digits or
// "$"/"0x" hexadecimal (up to 32 bits, taken as signed). Anything else — empty text, other
// characters, out of range — gives Default.
int ParseIniInteger(const QByteArray& text, int Default);

// The settings file: Windows INI text. Section and key names match without regard to case.
// Each moment of the program opens the file, reads or writes its keys one by one and closes it
// again. Every write replaces the file atomically (temporary file, then rename) and keeps all
// other lines byte for byte, so a refused write never leaves half a file behind.
class TIniFile {
public:
    static constexpr int MaxStringLength = 2047;
    // Larger files are not read (every key gives its default) and never rewritten.
    static constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

    explicit TIniFile(const QString& fileName);

    const QString& FileName() const { return FFileName; }

    QString ReadString(const QString& section, const QString& key, const QString& Default) const;
    int ReadInteger(const QString& section, const QString& key, int Default) const;
    bool ReadBool(const QString& section, const QString& key, bool Default) const;

    // Each throws EIniFileError when the file cannot be written.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);

private:
    struct TLine {
        QByteArray Text; // without its line end
        QByteArray Key;  // lower-case key of a "key=value" line, else empty
        bool Section = false;
        QByteArray SectionName; // lower-case, for section lines
    };

    const TLine* Find(const QString& section, const QString& key) const;
    void Save() const;

    QString FFileName;
    std::vector<TLine> FLines;
    QByteArray FLineEnd = "\r\n";
    bool FTooLarge = false;
};
