// The real program ended the hard ways: a device leaving while the termination signal arrives,
// files that cannot be written, a standard error nobody reads, no display at all.
#include "FileBytes.h"
#include "StderrReader.h"
#include "XvfbSession.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Binary = QStringLiteral(ORVALEN_BINARY_DIR "/orvalen");

// The program on a private display, its standard error read as it comes.
class CloseEndToEnd : public ::testing::Test {
protected:
    void Start(const QStringList& arguments) {
        ASSERT_TRUE(X.Running());
        Program.setProcessEnvironment(X.Environment());
        Program.start(Binary, arguments);
        ASSERT_TRUE(Program.waitForStarted());
        ASSERT_FALSE(X.FindWindow("USB Orvalen").isEmpty()) << Err.All().toStdString();
    }

    void Signal(int number) { ::kill(pid_t(Program.processId()), number); }

    // Waits for the end; true for a normal exit with code 0.
    bool EndsCleanly() {
        if (!Program.waitForFinished(30000)) {
            Program.kill();
            Program.waitForFinished();
            ADD_FAILURE() << "the program did not end";
            return false;
        }
        EXPECT_EQ(Program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(Program.exitCode(), 0) << Err.All().toStdString();
        return Program.exitStatus() == QProcess::NormalExit && Program.exitCode() == 0;
    }

    QString Config(const QString& name) const { return Dir.filePath(name); }

    TXvfbSession X;
    QTemporaryDir Dir;
    QProcess Program;
    TStderr Err{Program};
};

} // namespace

TEST_F(CloseEndToEnd, UnplugAndTerminationArrivingTogetherEndCleanly) {
    Start({"--simulate", "--verbose", "--config-dir", Dir.path()});
    ASSERT_TRUE(Err.WaitFor("Device connected"));
    Signal(SIGUSR1);
    Signal(SIGTERM);
    EXPECT_TRUE(EndsCleanly());
    EXPECT_TRUE(ReadFileBytes(Config("orvalen.ini")).contains("fmfrequency=0"));
}

TEST_F(CloseEndToEnd, CloseSwitchesAConnectedTunerOff) {
    Start({"--simulate", "--verbose", "--config-dir", Dir.path()});
    ASSERT_TRUE(Err.WaitFor("Device connected"));
    Err.Since(500);
    Signal(SIGTERM);
    EXPECT_TRUE(EndsCleanly());
    // The power command with 0: "P" (0x50) and its argument, after the report ID.
    EXPECT_TRUE(Err.Since(0).contains("WR 00  50 00")) << Err.All().toStdString();
}

TEST_F(CloseEndToEnd, SignalsEndTheProgramWhateverTheFilesAndLeaveUnwritableOnesAlone) {
    const QByteArray stations = "101.7=Radio\r\n";
    const struct {
        const char* name;
        int signal;
        // Prepares the folder; gives the path that must stay as it was.
        std::function<QString(const QString& dir)> setUp;
    } cases[] = {
        {"a folder in the settings file's place", SIGTERM,
         [](const QString& dir) {
             QDir(dir).mkdir("orvalen.ini");
             return dir + "/orvalen.ini";
         }},
        {"a read-only settings file", SIGINT,
         [](const QString& dir) {
             WriteFileBytes(dir + "/orvalen.ini", "[main]\nvolume=40\n");
             QFile::setPermissions(dir + "/orvalen.ini", QFile::ReadOwner);
             return dir + "/orvalen.ini";
         }},
        {"a settings file over 64 MiB", SIGHUP,
         [](const QString& dir) {
             QFile file(dir + "/orvalen.ini");
             EXPECT_TRUE(file.open(QIODevice::WriteOnly));
             file.write("[main]\nvolume=40\n");
             file.resize(65 * 1024 * 1024);
             return dir + "/orvalen.ini";
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        WriteFileBytes(dir.filePath("orvalen.lst"), stations);
        const QString kept = c.setUp(dir.path());
        const QByteArray before = ReadFileBytes(kept);
        QProcess program;
        program.setProcessEnvironment(X.Environment());
        program.start(Binary, {"--config-dir", dir.path()});
        ASSERT_TRUE(program.waitForStarted());
        ASSERT_FALSE(X.FindWindow("USB Orvalen").isEmpty());
        ::kill(pid_t(program.processId()), c.signal);
        ASSERT_TRUE(program.waitForFinished(30000)) << "the program did not end";
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_TRUE(program.readAllStandardError().contains("orvalen: Unable to write to"));
        EXPECT_EQ(ReadFileBytes(kept), before);
        EXPECT_EQ(ReadFileBytes(dir.filePath("orvalen.lst")), stations);
    }
}

TEST_F(CloseEndToEnd, AConfigFolderThatIsAFileDoesNotKeepTheProgramAlive) {
    WriteFileBytes(Config("plain"), "not a folder");
    Start({"--config-dir", Config("plain")});
    Signal(SIGTERM);
    EXPECT_TRUE(EndsCleanly());
    EXPECT_EQ(ReadFileBytes(Config("plain")), QByteArray("not a folder"));
}

TEST_F(CloseEndToEnd, AStandardErrorNobodyReadsEndsTheEchoNotTheProgram) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    ::close(pipeEnds[0]); // nobody will ever read
    const int writeEnd = pipeEnds[1];
    Program.setChildProcessModifier([writeEnd] { ::dup2(writeEnd, STDERR_FILENO); });
    Start({"--simulate", "--verbose", "--config-dir", Dir.path()});
    ::close(writeEnd);
    // Connecting, the full state and the status request each write a line.
    EXPECT_FALSE(Program.waitForFinished(3000)) << "exit code " << Program.exitCode();
    Signal(SIGTERM);
    EXPECT_TRUE(EndsCleanly());
    EXPECT_TRUE(ReadFileBytes(Config("orvalen.ini")).contains("fmfrequency=0"));
}

TEST_F(CloseEndToEnd, ConfigFolderNamedInAnotherEncodingIsTheFolderUsed) {
    // The name's bytes are not UTF-8 (Windows-1251 "Ж"); the shell passes them as they are.
    const QByteArray folder = QFile::encodeName(Dir.path()) + "/\xc6";
    ASSERT_TRUE(X.Running());
    Program.setProcessEnvironment(X.Environment());
    Program.start("/bin/sh", {"-c", "exec \"$0\" --config-dir \"$(printf '%s/\\306' \"$1\")\"",
                              Binary, Dir.path()});
    ASSERT_TRUE(Program.waitForStarted());
    ASSERT_FALSE(X.FindWindow("USB Orvalen").isEmpty()) << Err.All().toStdString();
    Signal(SIGTERM);
    EXPECT_TRUE(EndsCleanly());
    struct stat info {};
    EXPECT_EQ(::stat((folder + "/orvalen.ini").constData(), &info), 0);
    // Not the folder that decoding would have named instead.
    EXPECT_NE(::stat((QFile::encodeName(Dir.path()) + "/\xef\xbf\xbd").constData(), &info), 0);
    // Qt cannot name these files to remove them.
    ::unlink((folder + "/orvalen.ini").constData());
    ::unlink((folder + "/orvalen.lst").constData());
    ::rmdir(folder.constData());
}

TEST(NoDisplay, OneClearLineAndExitCodeOne) {
    const struct {
        const char* name;
        const char* display; // nullptr: unset
    } cases[] = {
        {"no display named", nullptr},
        {"a display nobody serves", ":4093"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        env.remove("DISPLAY");
        if (c.display) {
            env.insert("DISPLAY", c.display);
            env.insert("QT_QPA_PLATFORM", "xcb");
        }
        QTemporaryDir dir;
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(Binary, {"--config-dir", dir.path()});
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 1);
        const QByteArray err = program.readAllStandardError();
        EXPECT_TRUE(err.startsWith("orvalen: no graphical display (")) << err.toStdString();
        EXPECT_TRUE(err.endsWith("; run it in a desktop session\n")) << err.toStdString();
        EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
    }
}

TEST(NoDisplay, AWaylandSessionIsToldWhetherQtsPluginOrTheCompositorIsMissing) {
    // A copy of the program whose qt.conf points Qt at an empty plugin folder is a system
    // without the plugin (a hard link where the file system allows, so nothing is copied).
    QTemporaryDir withoutPlugins;
    ASSERT_TRUE(QDir(withoutPlugins.path()).mkdir("plugins"));
    const QString bare = withoutPlugins.filePath("orvalen");
    if (::link(QFile::encodeName(Binary).constData(), QFile::encodeName(bare).constData()) != 0) {
        ASSERT_TRUE(QFile::copy(Binary, bare));
    }
    {
        QFile conf(withoutPlugins.filePath("qt.conf"));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("[Paths]\nPlugins=" + QFile::encodeName(withoutPlugins.filePath("plugins")) +
                   "\n");
    }
    const struct {
        const char* name;
        QString program;
        QByteArray line;
    } cases[] = {
        {"no plugin", bare,
         "orvalen: cannot use the Wayland display: Qt's wayland platform plugin is missing "
         "(install qt6-wayland)\n"},
        {"no compositor", Binary,
         "orvalen: no graphical display (cannot connect to wayland-orvalen-test); run it in a "
         "desktop session\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        env.insert("WAYLAND_DISPLAY", "wayland-orvalen-test");
        env.insert("XDG_RUNTIME_DIR", dir.path());
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(c.program, {"--config-dir", dir.path()});
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitCode(), 1);
        EXPECT_EQ(program.readAllStandardError(), c.line);
    }
}
