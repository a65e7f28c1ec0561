#include "SwaySession.h"

#include "ProcessEnding.h"
#include "WaitFor.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// A session bus that lets every user of the machine in: the desktop's user and the tests'.
QByteArray BusConfig(const QString& socket) {
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>session</type>\n"
           "  <listen>unix:path=" +
           socket.toUtf8() +
           "</listen>\n"
           "  <auth>EXTERNAL</auth>\n"
           "  <policy context=\"default\">\n"
           "    <allow user=\"*\"/>\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n"
           "    <allow own=\"*\"/>\n"
           "  </policy>\n"
           "</busconfig>\n";
}

// The window with this application ID in a node of sway's tree, and its place on the layout.
const QJsonObject* FindNode(const QJsonObject& node, const QString& appId, QJsonObject& found) {
    if (node.value(QStringLiteral("app_id")).toString() == appId) {
        found = node;
        return &found;
    }
    for (const char* list : {"nodes", "floating_nodes"})
        for (const QJsonValue child : node.value(QLatin1String(list)).toArray())
            if (FindNode(child.toObject(), appId, found))
                return &found;
    return nullptr;
}

QString Focused(const QJsonObject& node) {
    if (node.value(QStringLiteral("focused")).toBool())
        return node.value(QStringLiteral("app_id")).toString();
    for (const char* list : {"nodes", "floating_nodes"})
        for (const QJsonValue child : node.value(QLatin1String(list)).toArray()) {
            const QString id = Focused(child.toObject());
            if (!id.isEmpty())
                return id;
        }
    return {};
}

QRect RectOf(const QJsonValue& value) {
    const QJsonObject r = value.toObject();
    return QRect(r.value(QStringLiteral("x")).toInt(), r.value(QStringLiteral("y")).toInt(),
                 r.value(QStringLiteral("width")).toInt(),
                 r.value(QStringLiteral("height")).toInt());
}

} // namespace

TSwaySession::TSwaySession() {
    if (!FRoot.isValid())
        return;
    const QString root = FRoot.path();
    FDesktopRuntime = root + QStringLiteral("/desktop");
    FClientRuntime = root + QStringLiteral("/client");
    FHome = root + QStringLiteral("/home");
    for (const QString& folder : {FDesktopRuntime, FClientRuntime, FHome})
        QDir().mkpath(folder);
    ::chmod(QFile::encodeName(root).constData(), 0755);
    ::chmod(QFile::encodeName(FDesktopRuntime).constData(), 0700);
    ::chmod(QFile::encodeName(FClientRuntime).constData(), 0700);
    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody)
            return;
        for (const QString& folder : {FDesktopRuntime, FHome})
            if (::chown(QFile::encodeName(folder).constData(), nobody->pw_uid, nobody->pw_gid) != 0)
                return;
        FAsDesktopUser = {QStringLiteral("setpriv"),
                          QStringLiteral("--reuid=%1").arg(nobody->pw_uid),
                          QStringLiteral("--regid=%1").arg(nobody->pw_gid),
                          QStringLiteral("--clear-groups"), QStringLiteral("--")};
    }

    const QString busSocket = root + QStringLiteral("/bus");
    const QString busConfig = root + QStringLiteral("/bus.conf");
    const QString swayConfig = root + QStringLiteral("/sway.conf");
    if (!WriteText(busConfig, BusConfig(busSocket)) ||
        DesktopFile(QStringLiteral("sway.conf"),
                    QStringLiteral("output HEADLESS-1 resolution %1x%2\n"
                                   "xwayland disable\n"
                                   "focus_on_window_activation focus\n")
                        .arg(Width)
                        .arg(Height)
                        .toUtf8())
            .isEmpty())
        return;

    FBus.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--config-file=") + busConfig, QStringLiteral("--nofork"),
                QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    if (!FBus.waitForStarted(10000))
        return;
    while (!FBus.canReadLine() && FBus.waitForReadyRead(10000)) {
    }
    const QString address = QString::fromUtf8(FBus.readLine()).trimmed();

    QProcessEnvironment env = DesktopEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    FSway.setProcessEnvironment(env);
    FSway.setStandardOutputFile(QProcess::nullDevice());
    FSway.setStandardErrorFile(root + QStringLiteral("/sway.log"));
    const QStringList command =
        FAsDesktopUser + QStringList{QStringLiteral("sway"), QStringLiteral("-c"), swayConfig};
    FSway.start(command.first(), command.mid(1));
    if (!FSway.waitForStarted(10000))
        return;
    const QDir runtime(FDesktopRuntime);
    const bool up = WaitFor(
        [&] {
            return !runtime.entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System)
                        .isEmpty() &&
                   QFile::exists(FDesktopRuntime + QStringLiteral("/wayland-1"));
        },
        20000);
    if (!up)
        return;
    FWaylandDisplay = FDesktopRuntime + QStringLiteral("/wayland-1");
    FIpcSocket = runtime.filePath(
        runtime.entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System).first());
    FBusAddress = address;
}

TSwaySession::~TSwaySession() {
    EndProcess(FSway);
    EndProcess(FBus);
}

QProcessEnvironment TSwaySession::DesktopEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), FDesktopRuntime);
    env.insert(QStringLiteral("HOME"), FHome);
    if (!FBusAddress.isEmpty())
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), FBusAddress);
    if (!FWaylandDisplay.isEmpty())
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-1"));
    return env;
}

QProcessEnvironment TSwaySession::Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), FWaylandDisplay);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), FClientRuntime);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), FBusAddress);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    return env;
}

QString TSwaySession::DesktopFile(const QString& name, const QByteArray& text) const {
    const QString path = FRoot.filePath(name);
    if (!WriteText(path, text))
        return {};
    ::chmod(QFile::encodeName(path).constData(), 0644);
    return path;
}

bool TSwaySession::StartDesktopProgram(QProcess& process, const QString& program,
                                       const QStringList& arguments) const {
    process.setProcessEnvironment(DesktopEnvironment());
    const QStringList command = FAsDesktopUser + QStringList{program} + arguments;
    process.start(command.first(), command.mid(1));
    return process.waitForStarted();
}

QString TSwaySession::Run(const QString& program, const QStringList& arguments,
                          const QProcessEnvironment& environment) const {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return process.exitCode() == 0 ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}

QString TSwaySession::Tree() const {
    return Run(QStringLiteral("swaymsg"),
               {QStringLiteral("-s"), FIpcSocket, QStringLiteral("-t"), QStringLiteral("get_tree")},
               Environment());
}

TSwaySession::TWindow TSwaySession::Window(const QString& appId) const {
    TWindow window;
    QJsonObject node;
    if (!FindNode(QJsonDocument::fromJson(Tree().toUtf8()).object(), appId, node))
        return window;
    window.Found = true;
    window.Focused = node.value(QStringLiteral("focused")).toBool();
    const QRect outer = RectOf(node.value(QStringLiteral("rect")));
    const QRect inner = RectOf(node.value(QStringLiteral("window_rect")));
    window.Content = inner.translated(outer.topLeft());
    return window;
}

QString TSwaySession::FocusedAppId() const {
    return Focused(QJsonDocument::fromJson(Tree().toUtf8()).object());
}

bool TSwaySession::Click(QPoint at) const {
    QProcess client;
    client.setProcessEnvironment(Environment());
    client.start(QStringLiteral(ORVALEN_WAYLAND_TEST_CLIENT),
                 {QStringLiteral("click"), QString::number(at.x()), QString::number(at.y()),
                  QString::number(Width), QString::number(Height)});
    return client.waitForFinished(20000) && client.exitCode() == 0;
}

QString TSwaySession::ActivationToken() const {
    return Run(QStringLiteral(ORVALEN_WAYLAND_TEST_CLIENT), {QStringLiteral("token")},
               Environment())
        .trimmed();
}
