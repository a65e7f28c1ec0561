// The timers in the real program, with the virtual tuner under Xvfb: a scheduled recording
// leaves its FLAC file and the tuner as it was, a wake-up powers on and tunes, the sleep timer
// powers off and finishes a recording, and a recording that cannot start is told in the log
// and as a desktop notification.
#include "../desktop/PrivateBus.h"
#include "ProcessEnding.h"
#include "StderrReader.h"
#include "XvfbSession.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sndfile.h>

namespace {

// A notification server of the test's own on the private bus: it notes what it is told.
class TNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList Bodies;

public slots:
    uint Notify(const QString&, uint, const QString&, const QString&, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        Bodies << body;
        return uint(Bodies.size());
    }
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
};

// The local wall-clock text of now + seconds, as the timers file takes it.
QString LocalIn(int seconds, const char* format) {
    return QDateTime::currentDateTime().addSecs(seconds).toString(QString::fromLatin1(format));
}

class TTimersProgram {
public:
    TTimersProgram(const QByteArray& timers, const QProcessEnvironment& extra = {}) : Err(Program) {
        QFile ini(Config.filePath("orvalen.ini"));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[main]\r\ndirectsound=1\r\nvolume=100\r\n");
        QFile file(Config.filePath("orvalen-timers.ini"));
        if (file.open(QIODevice::WriteOnly))
            file.write(timers);
        QDir(Home.path()).mkpath("music");
        QProcessEnvironment env = X.Environment();
        env.insert("HOME", Home.path());
        env.insert("XDG_CONFIG_HOME", Home.filePath("config"));
        env.insert("XDG_MUSIC_DIR", Home.filePath("music"));
        for (const QString& key : extra.keys())
            env.insert(key, extra.value(key));
        Program.setProcessEnvironment(env);
        Program.start(ORVALEN_BINARY_DIR "/orvalen",
                      {"--simulate", "--verbose", "--config-dir", Config.path()});
    }

    bool Connected() {
        return X.Running() && Program.waitForStarted() && Err.WaitFor("Device connected\n", 60000);
    }
    QString RecordingPath() { return Err.RestOfLine("Recording to "); }

    TXvfbSession X;
    QTemporaryDir Config, Home;
    QProcess Program;
    TStderr Err;
    const TEnding End{Program};
};

double FlacSeconds(const QString& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        return -1;
    sf_close(file);
    return double(info.frames) / info.samplerate;
}

bool FlacTestPasses(const QString& path) {
    QProcess flac;
    flac.start("flac", {"-t", "-s", path});
    return flac.waitForFinished(60000) && flac.exitCode() == 0;
}

} // namespace

TEST(TimersEndToEnd, AScheduledRecordingLeavesItsFileAndTheTunerAsItWas) {
    TTimersProgram program(
        "[record1]\r\nfrequency=101.7\r\nstart=" + LocalIn(4, "yyyy-MM-dd HH:mm:ss").toUtf8() +
        "\r\nduration=00:00:04\r\n");
    ASSERT_TRUE(program.Connected()) << program.Err.All().toStdString();
    const QString path = program.RecordingPath();
    ASSERT_FALSE(path.isEmpty()) << program.Err.All().toStdString();
    ASSERT_TRUE(program.Err.WaitFor(("Recording finished: " + path + "\n").toUtf8(), 30000))
        << program.Err.All().toStdString();
    // Off again, as before the recording.
    ASSERT_TRUE(program.Err.WaitFor("WR 00  50 00", 10000)) << program.Err.All().toStdString();
    EXPECT_TRUE(program.Err.All().contains("freq=1017")) << program.Err.All().toStdString();
    EXPECT_NEAR(FlacSeconds(path), 4.0, 0.3) << path.toStdString();
    EXPECT_TRUE(path.startsWith(program.Home.filePath("music/Orvalen/"))) << path.toStdString();
}

TEST(TimersEndToEnd, AWakeUpPowersOnAndTunes) {
    TTimersProgram program("[wakeup]\r\nenabled=1\r\ntime=" + LocalIn(3, "HH:mm:ss").toUtf8() +
                           "\r\ndays=1111111\r\nfrequency=101.7\r\nvolume=60\r\n");
    ASSERT_TRUE(program.Connected()) << program.Err.All().toStdString();
    ASSERT_TRUE(program.Err.WaitFor("WR 00  50 01", 30000)) << program.Err.All().toStdString();
    ASSERT_TRUE(program.Err.WaitFor("freq=1017", 30000)) << program.Err.All().toStdString();
}

TEST(TimersEndToEnd, TheSleepTimerPowersOffAndFinishesTheRecording) {
    // Minutes of 2 s: the sleep timer of 3 minutes ends 6 s after the start.
    QProcessEnvironment env;
    env.insert("ORVALEN_TEST_MINUTE_MS", "2000");
    TTimersProgram program("[sleep]\r\nminutes=3\r\n[record1]\r\nfrequency=101.7\r\nstart=" +
                               LocalIn(2, "yyyy-MM-dd HH:mm:ss").toUtf8() +
                               "\r\nduration=01:00\r\n",
                           env);
    ASSERT_TRUE(program.Connected()) << program.Err.All().toStdString();
    const QString path = program.RecordingPath();
    ASSERT_FALSE(path.isEmpty()) << program.Err.All().toStdString();
    ASSERT_TRUE(program.Err.WaitFor(("Recording finished: " + path + "\n").toUtf8(), 30000))
        << program.Err.All().toStdString();
    ASSERT_TRUE(program.Err.WaitFor("WR 00  50 00", 10000)) << program.Err.All().toStdString();
    EXPECT_TRUE(FlacTestPasses(path));
    // Run out, it is off for the next start; the recording entry stays.
    QFile timers(program.Config.filePath("orvalen-timers.ini"));
    ASSERT_TRUE(timers.open(QIODevice::ReadOnly));
    const QByteArray text = timers.readAll();
    EXPECT_TRUE(text.contains("minutes=0")) << text.toStdString();
    EXPECT_TRUE(text.contains("[record1]")) << text.toStdString();
}

TEST(TimersEndToEnd, ARecordingWithTheTunerUnpluggedIsToldInTheLogAndAsANotification) {
    TPrivateBus bus;
    ASSERT_FALSE(bus.Address.isEmpty());
    QDBusConnection server = QDBusConnection::connectToBus(bus.Address, "notification-server");
    TNotificationServer notifications;
    ASSERT_TRUE(server.registerObject("/org/freedesktop/Notifications", &notifications,
                                      QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(server.registerService("org.freedesktop.Notifications"));
    QProcessEnvironment env;
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.Address);
    TTimersProgram program(
        "[record1]\r\nfrequency=101.7\r\nstart=" + LocalIn(4, "yyyy-MM-dd HH:mm:ss").toUtf8() +
            "\r\nduration=00:00:20\r\n",
        env);
    ASSERT_TRUE(program.Connected()) << program.Err.All().toStdString();
    ::kill(pid_t(program.Program.processId()), SIGUSR1); // unplugs the virtual tuner
    ASSERT_TRUE(program.Err.WaitFor("не началась: тюнер не подключён.", 30000))
        << program.Err.All().toStdString();
    QElapsedTimer timer;
    timer.start();
    while (notifications.Bodies.isEmpty() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(notifications.Bodies.size(), 1);
    EXPECT_TRUE(notifications.Bodies[0].contains("тюнер не подключён"))
        << notifications.Bodies[0].toStdString();
    QDBusConnection::disconnectFromBus("notification-server");
}

#include "timers_EndToEndTest.moc"
