// One instance per executable, seen from outside: real processes on a private display.
#include "../desktop/PrivateBus.h"
#include "FileBytes.h"
#include "StderrReader.h"
#include "XvfbSession.h"
#include "desktop/MprisService.h"
#include "platform/system/InstanceRegistry.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <memory>
#include <semaphore.h>
#include <unistd.h>
#include <vector>

namespace {

const QString Binary = QStringLiteral(ORVALEN_BINARY_DIR "/orvalen");

// What a window manager does to iconify a window, done here since Xvfb runs none: unmap it and
// mark it iconic (WM_STATE 3), which the program reads as being minimised.
bool Iconify(const QString& display, quint64 window) {
    using TDisplay = void;
    void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!x11)
        return false;
    const auto open = reinterpret_cast<TDisplay* (*)(const char*)>(dlsym(x11, "XOpenDisplay"));
    const auto atom =
        reinterpret_cast<unsigned long (*)(TDisplay*, const char*, int)>(dlsym(x11, "XInternAtom"));
    const auto change =
        reinterpret_cast<int (*)(TDisplay*, unsigned long, unsigned long, unsigned long, int, int,
                                 const unsigned char*, int)>(dlsym(x11, "XChangeProperty"));
    const auto unmap =
        reinterpret_cast<int (*)(TDisplay*, unsigned long)>(dlsym(x11, "XUnmapWindow"));
    const auto sync = reinterpret_cast<int (*)(TDisplay*, int)>(dlsym(x11, "XSync"));
    const auto close = reinterpret_cast<int (*)(TDisplay*)>(dlsym(x11, "XCloseDisplay"));
    bool done = false;
    if (open && atom && change && unmap && sync && close) {
        if (TDisplay* connection = open(display.toLatin1().constData())) {
            const unsigned long wmState = atom(connection, "WM_STATE", 0);
            const long iconic[2] = {3, 0}; // format 32 travels as longs in Xlib
            unmap(connection, window);
            change(connection, window, wmState, wmState, 32, 0 /* replace */,
                   reinterpret_cast<const unsigned char*>(iconic), 2);
            sync(connection, 0);
            close(connection);
            done = true;
        }
    }
    dlclose(x11);
    return done;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(50);
    }
    return true;
}

class SingleInstance : public ::testing::Test {
protected:
    // Starts the program on the test's display; nullptr when it did not start.
    std::unique_ptr<QProcess> Start(const QStringList& arguments, const QString& program = Binary,
                                    const QProcessEnvironment& env = {}) {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env.isEmpty() ? X.Environment() : env);
        process->start(program, arguments);
        if (!process->waitForStarted())
            return nullptr;
        return process;
    }

    // Ends a running program the way the desktop does; true for a clean end.
    static bool Stop(QProcess& process) {
        if (process.state() == QProcess::NotRunning)
            return false;
        ::kill(pid_t(process.processId()), SIGTERM);
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            return false;
        }
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    // The first window the process mapped, waiting for it; 0 after the timeout.
    quint64 WindowOf(const QProcess& process, int timeoutMs = 60000) {
        quint64 found = 0;
        WaitUntil(
            [&] {
                for (quint64 window : X.WindowsOf(process.processId()))
                    if (X.IsViewable(window))
                        found = window;
                return found != 0;
            },
            timeoutMs);
        return found;
    }

    QStringList Arguments(const QTemporaryDir& config, bool simulate = true) const {
        QStringList arguments{"--config-dir", config.path()};
        if (simulate)
            arguments = QStringList{"--simulate", "--verbose"} + arguments;
        return arguments;
    }

    TXvfbSession X;
    QTemporaryDir Config;
};

} // namespace

TEST_F(SingleInstance, ASecondStartEndsAtOnceAndBringsTheFirstBack) {
    ASSERT_TRUE(X.Running());
    WriteFileBytes(Config.filePath("orvalen.ini"), "[main]\r\nvolume=40\r\n");
    const QFileInfo before(Config.filePath("orvalen.ini"));
    const QDateTime modified = before.lastModified();
    auto first = Start(Arguments(Config));
    ASSERT_TRUE(first);
    TStderr firstErr(*first);
    ASSERT_TRUE(firstErr.WaitFor("Device connected")) << firstErr.All().toStdString();
    const quint64 window = WindowOf(*first);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(Iconify(X.Display(), window));
    ASSERT_TRUE(WaitUntil([&] { return !X.IsViewable(window); }, 5000));

    QElapsedTimer timer;
    timer.start();
    auto second = Start(Arguments(Config));
    ASSERT_TRUE(second);
    ASSERT_TRUE(second->waitForFinished(10000));
    const qint64 elapsed = timer.elapsed();
    const QByteArray secondErr = second->readAllStandardError();
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0) << secondErr.toStdString();
    EXPECT_LT(elapsed, 1000) << "the second start took " << elapsed << " ms";
    EXPECT_FALSE(secondErr.contains("Device connected")) << secondErr.toStdString();
    EXPECT_TRUE(X.WindowsOf(second->processId()).isEmpty());

    EXPECT_TRUE(WaitUntil([&] { return X.IsViewable(window); }, 5000))
        << "the first instance was not restored";
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_EQ(ReadFileBytes(Config.filePath("orvalen.ini")), QByteArray("[main]\r\nvolume=40\r\n"));
    EXPECT_EQ(QFileInfo(Config.filePath("orvalen.ini")).lastModified(), modified);
    EXPECT_TRUE(Stop(*first)) << firstErr.All().toStdString();
}

TEST_F(SingleInstance, ACopyUnderAnotherPathRunsOnItsOwn) {
    ASSERT_TRUE(X.Running());
    QTemporaryDir copyFolder;
    const QString copy = copyFolder.filePath("orvalen");
    ASSERT_TRUE(QFile::copy(Binary, copy));
    QTemporaryDir copyConfig;
    auto original = Start(Arguments(Config, false));
    ASSERT_TRUE(original);
    ASSERT_NE(WindowOf(*original), 0u);
    auto copied = Start(Arguments(copyConfig, false), copy);
    ASSERT_TRUE(copied);
    EXPECT_NE(WindowOf(*copied), 0u);
    EXPECT_FALSE(copied->waitForFinished(1500));
    EXPECT_TRUE(Stop(*copied)) << copied->readAllStandardError().toStdString();
    EXPECT_TRUE(Stop(*original));

    // The copy's named lock outlives it; the registry's blocks are gone with the last instance.
    TInstanceIdentity identity = CurrentInstanceIdentity();
    identity.ExecutablePath = copy.toStdString();
    identity.Display = X.Display().toStdString();
    sem_unlink(MakeInstanceNames(identity).Lock.c_str());
}

TEST_F(SingleInstance, AStartAfterTheFirstWasKilledRunsNormally) {
    ASSERT_TRUE(X.Running());
    auto killed = Start(Arguments(Config, false));
    ASSERT_TRUE(killed);
    ASSERT_NE(WindowOf(*killed), 0u);
    killed->kill(); // SIGKILL: nothing unregisters
    ASSERT_TRUE(killed->waitForFinished());

    auto next = Start(Arguments(Config));
    ASSERT_TRUE(next);
    TStderr err(*next);
    EXPECT_TRUE(err.WaitFor("Device connected")) << err.All().toStdString();
    EXPECT_NE(WindowOf(*next), 0u);
    EXPECT_EQ(next->state(), QProcess::Running);
    EXPECT_TRUE(Stop(*next)) << err.All().toStdString();
}

TEST_F(SingleInstance, TwentyStartsRacingLeaveExactlyOne) {
    ASSERT_TRUE(X.Running());
    std::vector<std::unique_ptr<QProcess>> starts;
    for (int i = 0; i < 20; ++i) {
        starts.push_back(Start(Arguments(Config, false)));
        ASSERT_TRUE(starts.back());
    }
    const auto running = [&] {
        int count = 0;
        for (auto& process : starts)
            count +=
                process->waitForFinished(0) || process->state() == QProcess::NotRunning ? 0 : 1;
        return count;
    };
    EXPECT_TRUE(WaitUntil([&] { return running() <= 1; }, 60000));
    QThread::msleep(3000);
    EXPECT_EQ(running(), 1);
    for (auto& process : starts) {
        if (process->state() != QProcess::NotRunning) {
            EXPECT_NE(WindowOf(*process), 0u);
            EXPECT_TRUE(Stop(*process));
        } else {
            EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().toStdString();
        }
    }
}

TEST_F(SingleInstance, TwoUsersDoNotSeeEachOthersInstances) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to start the program as another user";
    ASSERT_TRUE(X.Running());
    auto own = Start(Arguments(Config, false));
    ASSERT_TRUE(own);
    ASSERT_NE(WindowOf(*own), 0u);

    QTemporaryDir otherConfig;
    ASSERT_EQ(::chown(QFile::encodeName(otherConfig.path()).constData(), 65534, 65534), 0);
    QProcessEnvironment env = X.Environment();
    env.remove("XDG_RUNTIME_DIR");
    env.insert("HOME", otherConfig.path());
    auto other = Start(QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", Binary} +
                           Arguments(otherConfig, false),
                       "setpriv", env);
    ASSERT_TRUE(other);
    EXPECT_NE(WindowOf(*other), 0u) << other->readAllStandardError().toStdString();
    EXPECT_FALSE(other->waitForFinished(1500));

    // The first user still has one instance: another start of theirs ends.
    auto again = Start(Arguments(Config, false));
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->waitForFinished(10000));
    EXPECT_EQ(again->exitCode(), 0);
    EXPECT_TRUE(Stop(*other)) << other->readAllStandardError().toStdString();
    EXPECT_TRUE(Stop(*own));
}

TEST_F(SingleInstance, AStartWhileTheFirstIsClosingRunsOnItsOwn) {
    ASSERT_TRUE(X.Running());
    TPrivateBus bus;
    ASSERT_FALSE(bus.Address.isEmpty());
    QProcessEnvironment env = X.Environment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.Address);
    auto closing = Start(Arguments(Config), Binary, env);
    ASSERT_TRUE(closing);
    TStderr closingErr(*closing);
    const quint64 window = WindowOf(*closing);
    ASSERT_NE(window, 0u);
    const pid_t pid = pid_t(closing->processId());
    // Its start-up is complete once its media-player name is on the bus (the last thing it
    // does, just after the window's first frame).
    {
        QDBusConnection watch = QDBusConnection::connectToBus(bus.Address, "start-watch");
        EXPECT_TRUE(WaitUntil(
            [&] { return watch.interface()->isServiceRegistered(TMprisService::BusName).value(); },
            30000));
    }
    QDBusConnection::disconnectFromBus("start-watch");
    // A session bus that no longer answers holds the closing program in its tear-down, where
    // it gives its name on the bus back: the moment a new start may come.
    ::kill(pid_t(bus.Pid()), SIGSTOP);
    ::kill(pid, SIGTERM);
    ASSERT_TRUE(WaitUntil([&] { return !X.IsViewable(window); }, 30000));

    // It left the registry as soon as its close was certain.
    TInstanceIdentity identity = CurrentInstanceIdentity();
    identity.ExecutablePath = QFileInfo(Binary).canonicalFilePath().toStdString();
    identity.Display = X.Display().toStdString();
    TInstanceRegistry registry(MakeInstanceNames(identity), 0, [&](std::uint32_t id) {
        return IsRunningInstance(id, identity.ExecutablePath);
    });
    const std::vector<std::uint32_t> registered = registry.Instances();
    EXPECT_EQ(std::count(registered.begin(), registered.end(), std::uint32_t(pid)), 0);
    EXPECT_EQ(closing->state(), QProcess::Running);

    QTemporaryDir otherConfig;
    QProcessEnvironment noBus = X.Environment();
    noBus.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + otherConfig.filePath("no-bus"));
    auto next = Start(Arguments(otherConfig), Binary, noBus);
    ASSERT_TRUE(next);
    EXPECT_NE(WindowOf(*next), 0u);
    EXPECT_EQ(next->state(), QProcess::Running);
    ::kill(pid_t(bus.Pid()), SIGCONT);
    ASSERT_TRUE(closing->waitForFinished(30000));
    EXPECT_EQ(closing->exitCode(), 0) << closingErr.All().toStdString();
    EXPECT_TRUE(Stop(*next));
}
