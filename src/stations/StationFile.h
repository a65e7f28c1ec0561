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

// Reads the file; false (and no lines) when it does not exist, cannot be read or is not a
// regular file (a link to one is fine): a FIFO, a folder or a device in its place is opened
// without waiting and never read. Start-up reads the file once, before any save, so this
// first runs RemoveStaleTemporaries.
// reason (when given): why a file that is there could not be read ("" when it is missing).
bool LoadStationFile(const QString& path, QStringList& lines, QString* reason = nullptr);
// The documented refusal of a write: "Cannot create file "<path>". <reason>".
QString CannotCreateText(const QString& path, const QString& reason);

// Replaces the file in one step: the bytes go to a temporary file "<file>.tmp<pid>-<n>" in
// the same folder, which is then renamed over it, so a failed write never leaves a cut-off
// list behind. A symbolic link is written through: its target (followed to the end, and
// created when missing) is replaced in the target's folder and the link stays. On failure
// `error` gets "Cannot create file "<path>". <system reason>".
bool SaveStationFile(const QString& path, const QStringList& lines, QString* error);

// Deletes the temporary files a save killed midway left beside the file (or its link's
// target): regular files named exactly as SaveStationFile names them whose writer is gone,
// that is, the pid in the name no longer runs or now runs some other program.
void RemoveStaleTemporaries(const QString& path);

} // namespace Stations
