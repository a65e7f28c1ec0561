#include "Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <algorithm>

namespace {

const QString FileName = QStringLiteral("orvalen.desktop");
// More than any entry of ours; a larger file is not read whole into memory.
constexpr qint64 MaxEntrySize = 1 << 20;

bool IsCarriable(QChar c) {
    return c >= u' ' ? c != u'\x7f' : c == u'\t' || c == u'\n' || c == u'\r';
}

// One argument of an Exec line: quoted when it holds a character the launcher would read as
// a separator or as shell syntax, with '"', '`', '$' and '\' escaped inside the quotes, and
// '%' doubled so it is not taken for a field code.
QString ExecArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\r\"'\\><~|&;$*?#()`");
    static const QString escapedInQuotes = QStringLiteral("\"`$\\");
    const bool quote =
        argument.isEmpty() ||
        std::any_of(argument.begin(), argument.end(), [](QChar c) { return reserved.contains(c); });
    QString result;
    for (const QChar c : argument) {
        if (quote && escapedInQuotes.contains(c))
            result += u'\\';
        result += c;
        if (c == u'%')
            result += u'%';
    }
    return quote ? QStringLiteral("\"%1\"").arg(result) : result;
}

// A value as an entry stores it: the line breaks and tabs as escapes, and every backslash
// (those of the Exec quoting too) doubled, since readers undo this first.
QString EntryValue(const QString& value) {
    QString result;
    for (const QChar c : value) {
        if (c == u'\\')
            result += QStringLiteral("\\\\");
        else if (c == u'\n')
            result += QStringLiteral("\\n");
        else if (c == u'\t')
            result += QStringLiteral("\\t");
        else if (c == u'\r')
            result += QStringLiteral("\\r");
        else
            result += c;
    }
    return result;
}

bool IsTrue(const QString& value) {
    return value == QLatin1String("true") || value == QLatin1String("1");
}

bool IsFalse(const QString& value) {
    return value == QLatin1String("false") || value == QLatin1String("0");
}

} // namespace

QString AutostartFolderFrom(const QString& xdgConfigHome, const QString& home) {
    const QString config =
        xdgConfigHome.startsWith(u'/') ? xdgConfigHome : home + QStringLiteral("/.config");
    return QDir::cleanPath(config + QStringLiteral("/autostart"));
}

QString AutostartEntryPath() {
    return AutostartFolderFrom(qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath()) + u'/' +
           FileName;
}

QString AutostartEntryText(const QString& executablePath) {
    if (!executablePath.startsWith(u'/') ||
        !std::all_of(executablePath.begin(), executablePath.end(), IsCarriable))
        return {};
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Orvalen\n"
                          "Comment=Control a USB FM radio tuner\n"
                          "Comment[ru]=Управление USB FM-тюнером\n"
                          "Exec=%1 --tray\n"
                          "Icon=orvalen\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(EntryValue(ExecArgument(executablePath)));
}

bool AutostartEntryActive(const QString& entryText) {
    bool inEntry = false;
    bool found = false;
    bool active = true;
    for (const QString& rawLine : entryText.split(u'\n')) {
        const QString line = rawLine.trimmed();
        if (line.startsWith(u'[')) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            found = found || inEntry;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inEntry || line.startsWith(u'#') || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if ((key == QLatin1String("Hidden") && IsTrue(value)) ||
            (key == QLatin1String("X-GNOME-Autostart-enabled") && IsFalse(value)))
            active = false;
    }
    return found && active;
}

bool SetAutostart(bool on, const QString& executablePath, QString& error) {
    const QString path = AutostartEntryPath();
    if (!on) {
        const QFileInfo info(path);
        // A link whose target is gone is an entry all the same.
        if (!info.exists() && !info.isSymLink())
            return true;
        QFile file(path);
        if (file.remove())
            return true;
        error = QStringLiteral("Cannot remove %1: %2").arg(path, file.errorString());
        return false;
    }
    const QString text = AutostartEntryText(executablePath);
    if (text.isEmpty()) {
        error = QStringLiteral("Cannot start %1 at login: an autostart entry cannot name it")
                    .arg(executablePath);
        return false;
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("Cannot create the folder %1").arg(folder);
        return false;
    }
    const QByteArray data = text.toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool AutostartEnabled() {
    // Only a regular file: opening a FIFO someone left there would wait for a writer.
    QFile file(AutostartEntryPath());
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    return AutostartEntryActive(QString::fromUtf8(file.read(MaxEntrySize)));
}
