#include "DisplayCheck.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>
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
        const QByteArray display = qgetenv("DISPLAY");
        const QString reason =
            display.isEmpty()
                ? QStringLiteral("no display could be opened")
                : QStringLiteral("cannot connect to %1").arg(QString::fromLocal8Bit(display));
        std::fprintf(stderr, "%s\n", NoDisplayLine(reason).toLocal8Bit().constData());
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
