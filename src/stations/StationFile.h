#pragma once

// The station file: one line per station, CR LF after each. Files made on the original
// platform are Windows-1251; names that code page cannot hold are kept by writing UTF-8
// instead, and reading tells the two apart by whether the bytes are valid UTF-8.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Stations {

// The file's bytes as lines; a line ends at CR, LF or CR LF, and a last line without an end
// still counts. Bytes that are not valid UTF-8 are read as Windows-1251, every one of them
// to a character that writes back to the same byte.
QStringList DecodeStationText(const QByteArray& bytes);

// The lines, each followed by CR LF, in Windows-1251 when every character has a place in
// it, else in UTF-8.
QByteArray EncodeStationText(const QStringList& lines);

// One character through the Windows-1251 table; false when the code page lacks it.
bool EncodeWindows1251(QChar c, char* byte);
QChar DecodeWindows1251(unsigned char byte);

// Reads the file; false (and no lines) when it does not exist or cannot be read.
bool LoadStationFile(const QString& path, QStringList& lines);

// Replaces the file in one step: the bytes go to a temporary file in the same folder, which
// is then renamed over it, so a failed write never leaves a cut-off list behind. On failure
// `error` gets "Cannot create file "<path>". <system reason>".
bool SaveStationFile(const QString& path, const QStringList& lines, QString* error);

} // namespace Stations
