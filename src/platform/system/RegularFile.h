#pragma once

#include <QByteArray>
#include <QString>
#include <limits>

enum class TFileRead { Read, Missing, NotRegular, Unreadable, TooLarge };

// Reads the whole file when it is a regular file (a symbolic link to one is fine). The open does
// not wait, so a FIFO or a device in the file's place cannot stall the program, and what was
// opened is checked before anything is read from it. A file over `limit` bytes is not read.
// `data` holds the bytes only after Read.
TFileRead ReadRegularFile(const QString& path, QByteArray& data,
                          qint64 limit = std::numeric_limits<qint64>::max());
