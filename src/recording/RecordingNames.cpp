#include "recording/RecordingNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QTextBoundaryFinder>

namespace {

// File systems take names of up to 255 bytes; the room for " (999)", which UniqueRecordingPath
// may add, is kept free.
constexpr qsizetype NameBytes = 255 - 6;

// The longest start of text whose UTF-8 takes at most maxBytes, cut between characters as the
// reader sees them: never inside a surrogate pair, nor between a letter and its accent.
QString LeftInBytes(const QString& text, qsizetype maxBytes) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype fits = 0;
    qsizetype bytes = 0;
    for (qsizetype at = finder.toNextBoundary(); at > 0; at = finder.toNextBoundary()) {
        bytes += QStringView(text).mid(fits, at - fits).toUtf8().size();
        if (bytes > maxBytes)
            break;
        fits = at;
    }
    return text.left(fits);
}

} // namespace

QString RecordingFileName(const QString& stationName, const QString& frequency,
                          const QDateTime& start) {
    QString name = stationName;
    name.remove(QChar(0)); // padding of an RDS name, never part of it
    for (QChar& c : name)
        if (c == u'/' || c.category() == QChar::Other_Control)
            c = u'_';
    const QString rest = frequency + u' ' + start.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")) +
                         QStringLiteral(".flac");
    name = LeftInBytes(name.trimmed(), NameBytes - rest.toUtf8().size() - 1).trimmed();
    return name.isEmpty() ? rest : name + u' ' + rest;
}

QString MusicDirFromUserDirs(const QString& userDirsText, const QString& home) {
    static const QRegularExpression line(
        QStringLiteral(R"re(^\s*XDG_MUSIC_DIR\s*=\s*"((?:[^"\\]|\\.)*)"\s*$)re"));
    QString found;
    for (const QString& text : userDirsText.split(u'\n')) {
        const QRegularExpressionMatch match = line.match(text);
        if (match.hasMatch())
            found = match.captured(1); // the last entry counts, as for a shell
    }
    if (found.isEmpty())
        return {};
    found.replace(QRegularExpression(QStringLiteral(R"(\\(.))")), QStringLiteral("\\1"));
    if (found == QStringLiteral("$HOME") || found.startsWith(QStringLiteral("$HOME/")))
        found = home + found.mid(5);
    else if (!found.startsWith(u'/'))
        return {}; // only absolute paths and $HOME-relative ones are valid entries
    if (QDir::cleanPath(found) == QDir::cleanPath(home))
        return {};
    return QDir::cleanPath(found);
}

QString RecordingFolderFrom(const QString& musicDirVariable, const QString& userDirsText,
                            const QString& home) {
    QString music;
    if (musicDirVariable.startsWith(u'/'))
        music = QDir::cleanPath(musicDirVariable);
    if (music.isEmpty())
        music = MusicDirFromUserDirs(userDirsText, home);
    if (music.isEmpty())
        music = QDir::cleanPath(home + QStringLiteral("/Music"));
    return music + QStringLiteral("/Orvalen");
}

QString RecordingFolder() {
    const QString home = QDir::homePath();
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!config.startsWith(u'/'))
        config = home + QStringLiteral("/.config");
    QString userDirs;
    QFile file(config + QStringLiteral("/user-dirs.dirs"));
    if (file.open(QIODevice::ReadOnly))
        userDirs = QString::fromUtf8(file.readAll());
    return RecordingFolderFrom(qEnvironmentVariable("XDG_MUSIC_DIR"), userDirs, home);
}

QString UniqueRecordingPath(const QString& folder, const QString& fileName) {
    const QString base =
        fileName.endsWith(QStringLiteral(".flac")) ? fileName.chopped(5) : fileName;
    QString path = folder + u'/' + fileName;
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = folder + u'/' + base + QStringLiteral(" (%1).flac").arg(n);
    return path;
}
