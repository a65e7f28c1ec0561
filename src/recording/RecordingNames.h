#pragma once

// Where a recording goes and what it is called. Pure, apart from RecordingFolder, which reads
// the environment and the user's folder list.

#include <QDateTime>
#include <QString>

// "<station> <frequency> <yyyy-MM-dd HH-mm-ss>.flac", for example
// "Новости 101.7 2026-12-10 14-05-00.flac". Zero characters (an RDS name's padding) go; a slash
// or another control character becomes "_" (a name is one file name, never a path);
// surrounding spaces go; no name leaves the frequency first. A long name is cut, between whole
// characters, so that the file name and a " (n)" of UniqueRecordingPath fit the 255 bytes a
// file system takes.
// frequency as the station list writes it ("101.7").
QString RecordingFileName(const QString& stationName, const QString& frequency,
                          const QDateTime& start);

// The music folder named by the user-dirs file's text (XDG_MUSIC_DIR="$HOME/Music"), with
// $HOME expanded; "" when the text names none, or names the home folder itself (which the
// user-dirs convention uses to switch a folder off).
QString MusicDirFromUserDirs(const QString& userDirsText, const QString& home);

// $XDG_MUSIC_DIR when it is set to an absolute path, else the user-dirs file's entry, else
// home + "/Music"; then "/Orvalen".
QString RecordingFolderFrom(const QString& musicDirVariable, const QString& userDirsText,
                            const QString& home);

// RecordingFolderFrom with this process's environment and
// $XDG_CONFIG_HOME/user-dirs.dirs (~/.config/user-dirs.dirs).
QString RecordingFolder();

// folder/fileName, or "name (2).flac", "name (3).flac"... when that file exists already, so an
// earlier recording is never overwritten.
QString UniqueRecordingPath(const QString& folder, const QString& fileName);
