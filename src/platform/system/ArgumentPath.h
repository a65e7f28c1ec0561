#pragma once

#include <QByteArray>
#include <QString>

// A folder named on the command line, as a path Qt can carry. Qt turns file names into text as
// UTF-8, so a name in another 8-bit encoding would come back as a different folder (U+FFFD in
// place of its bytes). Such a folder is opened by its exact bytes (created first when missing)
// and named through the handle, /proc/self/fd/N, which the process keeps open for its life.
// A name that survives the round trip is returned as it is; so is one that cannot be opened,
// whose later use then fails with the usual errors.
QString FolderArgumentPath(const QByteArray& raw);
