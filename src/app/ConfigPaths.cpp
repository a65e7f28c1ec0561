#include "ConfigPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

TConfigPaths InFolder(const QString& folder) {
    QDir().mkpath(folder);
    const QString base = QDir(folder).filePath(QStringLiteral("orvalen"));
    return {base + QStringLiteral(".ini"), base + QStringLiteral(".lst")};
}

} // namespace

TConfigPaths ResolveConfigPaths(const QString& executablePath, const QString& configDir) {
    if (!configDir.isEmpty())
        return InFolder(configDir);
    const QFileInfo exe(executablePath);
    if (QFileInfo(exe.absolutePath()).isWritable())
        return {exe.absoluteFilePath() + QStringLiteral(".ini"),
                exe.absoluteFilePath() + QStringLiteral(".lst")};
    return InFolder(QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                        .filePath(QStringLiteral("orvalen")));
}
