#pragma once

#include "IniText.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <stdexcept>
#include <utility>

// Raised when the system refuses a write; the text is "Unable to write to <path>: <reason>" (the
// system's error text, "not a regular file", "larger than 64 MiB", "the file is read-only").
class EIniFileError : public std::runtime_error {
public:
    explicit EIniFileError(const QString& message);
    QString Message() const { return QString::fromUtf8(what()); }
};

// Parses an integer the way the settings file stores it: optional sign, decimal digits or
// "$"/"0x" hexadecimal (up to 32 bits, taken as signed). Anything else — empty text, other
// characters, out of range — gives Default.
int ParseIniInteger(const QByteArray& text, int Default);

// The settings file: Windows INI text, read as the Windows profile functions read it (see
// IniText.h for code pages and byte order marks). Section and key names match without regard
// to case; only the first section of a name counts, and in it the first line of a key.
// Each moment of the program opens the file, reads or writes its keys one by one and closes it
// again. Every write replaces the file atomically (temporary file, then rename; through a
// symbolic link, the link's target) and keeps all other lines byte for byte, so a refused
// write never leaves half a file behind.
//
// Only a regular file (or a link to one) is read, and it is opened without waiting, so a FIFO
// or a device in its place cannot stall the program: anything else reads as a missing file,
// and a write never replaces it.
class TIniFile {
public:
    static constexpr int MaxStringLength = 2047;
    // Larger files are not read (every key gives its default) and never rewritten; neither is
    // a file that could not be read, since the rewrite would drop what was not read.
    static constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

    explicit TIniFile(const QString& fileName);

    const QString& FileName() const { return FFileName; }
    // Why a file that is there was not read, in the words a refused write gives ("larger than
    // 64 MiB", the system's error text); empty when it was read or there is none.
    const QString& NotReadReason() const { return FKeepAsIs; }

    QString ReadString(const QString& section, const QString& key, const QString& Default) const;
    int ReadInteger(const QString& section, const QString& key, int Default) const;
    bool ReadBool(const QString& section, const QString& key, bool Default) const;

    // The section names in file order, spelled as at their first header, each once.
    QStringList Sections() const;
    // The keys of a section, names case-folded (lower case), values as ReadString gives them:
    // the first line of a key counts. Empty for a missing section.
    QMap<QString, QString> ReadSection(const QString& section) const;

    // Each throws EIniFileError when the file cannot be written.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    // Writes the keys of `values` in their order and removes every line of each key in
    // `erase`, all in one write: the file gets every change or none. Keys already there keep
    // their places (and a line that already holds its value keeps its bytes); new ones follow
    // the section's last line, and a missing section is added at the end of the file.
    void UpdateSection(const QString& section, const QList<std::pair<QString, QString>>& values,
                       const QStringList& erase);
    // Removes the section's header and every line up to the next header. Nothing is written
    // when there is no such section; a file that was not read is refused, as it may hold one.
    void EraseSection(const QString& section);

private:
    const IniText::TLine* Find(const QString& section, const QString& key) const;
    // A copy of the document to change, once the file may be rewritten at all.
    IniText::TDocument Edit() const;
    // Writes the document and keeps it as the file's text.
    void Commit(IniText::TDocument document);
    void Save(const IniText::TDocument& document) const;
    [[noreturn]] void Refuse(const QString& reason) const;

    QString FFileName;
    IniText::TDocument FDocument;
    QString FKeepAsIs; // why a file too large or unreadable is never rewritten ("" when it may be)
};
