#include "DisplayCheck.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

QtMessageHandler previousHandler = nullptr;

struct THeldMessage {
    QtMsgType Type;
    QString Text;
};
QList<THeldMessage> heldMessages;

void HoldMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtFatalMsg) {
        QStringList messages;
        for (const THeldMessage& held : heldMessages)
            messages << held.Text;
        messages << text;
        const QString line = DisplayFailureLine(messages, qgetenv("QT_QPA_PLATFORM"),
                                                qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"));
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
        std::fflush(stderr);
        std::_Exit(NoDisplayExitCode);
    }
    heldMessages.append({type, text});
}

} // namespace

QString MissingDisplayReason() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return QString();
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return QString();
    return QStringLiteral("neither DISPLAY nor WAYLAND_DISPLAY is set");
}

QString NoDisplayLine(const QString& reason) {
    return QStringLiteral("orvalen: no graphical display (%1); run it in a desktop session")
        .arg(reason);
}

QString DisplayFailureLine(const QStringList& messages, const QByteArray& platform,
                           const QByteArray& display, const QByteArray& waylandDisplay) {
    const bool wayland = platform.startsWith("wayland") ||
                         (platform.isEmpty() && display.isEmpty() && !waylandDisplay.isEmpty());
    // Qt says "Could not find" for a plugin that is not there, "Could not load … even though it
    // was found" for one that could not connect.
    const bool pluginMissing = std::any_of(messages.begin(), messages.end(), [](const QString& m) {
        return m.contains(QLatin1String("Could not find the Qt platform plugin \"wayland\""));
    });
    if (wayland && pluginMissing)
        return QStringLiteral("orvalen: cannot use the Wayland display: Qt's wayland platform "
                              "plugin is missing (install qt6-wayland)");
    const QByteArray served =
        wayland ? (waylandDisplay.isEmpty() ? QByteArray("wayland-0") : waylandDisplay) : display;
    const QString reason =
        served.isEmpty()
            ? QStringLiteral("no display could be opened")
            : QStringLiteral("cannot connect to %1").arg(QString::fromLocal8Bit(served));
    return NoDisplayLine(reason);
}

TDisplayConnectGuard::TDisplayConnectGuard() {
    previousHandler = qInstallMessageHandler(HoldMessage);
}

TDisplayConnectGuard::~TDisplayConnectGuard() {
    qInstallMessageHandler(previousHandler);
    const QList<THeldMessage> held = std::exchange(heldMessages, {});
    const QMessageLogContext context;
    for (const THeldMessage& message : held) {
        if (previousHandler)
            previousHandler(message.Type, context, message.Text);
        else
            std::fprintf(stderr, "%s\n", message.Text.toLocal8Bit().constData());
    }
}
