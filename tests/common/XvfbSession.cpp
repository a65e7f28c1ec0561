#include "XvfbSession.h"

#include <QProcess>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

TXvfbSession::TXvfbSession(const QString& screen) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    const QByteArray fdText = QByteArray::number(fds[1]);
    const QByteArray screenText = screen.toUtf8();
    FPid = fork();
    if (FPid == 0) {
        fcntl(fds[1], F_SETFD, 0); // the server writes its display number here
        execlp("Xvfb", "Xvfb", "-displayfd", fdText.constData(), "-screen", "0",
               screenText.constData(), "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    QByteArray number;
    pollfd pfd{fds[0], POLLIN, 0};
    while (FPid > 0 && poll(&pfd, 1, 10000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    close(fds[0]);
    if (!number.isEmpty())
        FDisplay = ':' + QString::fromLatin1(number);
}

TXvfbSession::~TXvfbSession() {
    if (FPid > 0) {
        kill(FPid, SIGTERM);
        waitpid(FPid, nullptr, 0);
    }
}

QProcessEnvironment TXvfbSession::Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), FDisplay);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

QString TXvfbSession::Run(const QString& program, const QStringList& arguments,
                          int timeoutMs) const {
    QProcess process;
    process.setProcessEnvironment(Environment());
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString TXvfbSession::FindWindow(const QString& title, int timeoutMs) const {
    return Run(QStringLiteral("xdotool"),
               {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--name"),
                title},
               timeoutMs)
        .split('\n')
        .first()
        .trimmed();
}

bool TXvfbSession::Start(QProcess& process, const QString& program,
                         const QStringList& arguments) const {
    process.setProcessEnvironment(Environment());
    process.start(program, arguments);
    return process.waitForStarted();
}

QList<quint64> TXvfbSession::WindowsOf(qint64 pid) const {
    QList<quint64> windows;
    const QString found =
        Run(QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--pid"), QString::number(pid)});
    for (const QString& line : found.split('\n', Qt::SkipEmptyParts)) {
        bool ok = false;
        const quint64 id = line.trimmed().toULongLong(&ok);
        if (ok)
            windows.append(id);
    }
    return windows;
}

namespace {

// The value after "<label>:" in xwininfo's output, up to the end of its line.
QString InfoField(const QString& info, const QString& label) {
    const qsizetype at = info.indexOf(label + ':');
    if (at < 0)
        return {};
    const qsizetype start = at + label.size() + 1;
    return info.mid(start, info.indexOf('\n', start) - start).trimmed();
}

} // namespace

quint64 TXvfbSession::ParentOf(quint64 window) const {
    const QString info =
        Run(QStringLiteral("xwininfo"),
            {QStringLiteral("-children"), QStringLiteral("-id"), QString::number(window)});
    // "0x200026 (has no name)": the id is the first word, written in C style.
    bool ok = false;
    const quint64 parent =
        InfoField(info, QStringLiteral("Parent window id")).section(' ', 0, 0).toULongLong(&ok, 0);
    return ok ? parent : 0;
}

bool TXvfbSession::IsViewable(quint64 window) const {
    const QString info =
        Run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    return InfoField(info, QStringLiteral("Map State")) == QLatin1String("IsViewable");
}
