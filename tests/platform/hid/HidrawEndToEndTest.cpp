// The real program with a fake tuner on hidraw: it claims the tuner it finds, sends it the full
// state, follows it out and back in, and says plainly when the node may not be opened.
#include "FakeHidraw.h"
#include "StderrReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void StartProgram(QProcess& program, const QString& configDir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // One program runs per executable and display: without a display of its own, a test
    // running at the same time would count as a second start of the same program.
    env.insert("DISPLAY", ":test-" + QFileInfo(configDir).fileName());
    program.setProcessEnvironment(env);
    program.start(ORVALEN_BINARY_DIR "/orvalen", {"--verbose", "--config-dir", configDir});
}

void Stop(QProcess& program) {
    program.terminate();
    if (!program.waitForFinished(15000))
        program.kill();
}

} // namespace

TEST(HidrawEndToEnd, TheProgramDrivesAFakeTunerThatComesAndGoes) {
    TFakeHidraw bed;
    TFakeHid tuner;
    ASSERT_TRUE(bed.Add(tuner));
    QTemporaryDir config;
    QProcess program;
    StartProgram(program, config.path());
    ASSERT_TRUE(program.waitForStarted());
    TStderr err(program);

    ASSERT_TRUE(err.WaitFor("Device connected\n")) << err.All().toStdString();
    // The full state first, in one whole 65-byte report with report ID 0.
    const QByteArray first = ReceivedByDevice(bed.DeviceFd(tuner), 15000);
    ASSERT_GE(first.size(), 65) << first.toHex().toStdString();
    EXPECT_EQ(first[0], '\0');
    EXPECT_EQ(first[1], 'I');

    // A report from the tuner reaches the program.
    const QByteArray status = QByteArray("\x05", 1) + QByteArray(63, '\0');
    ASSERT_EQ(write(bed.DeviceFd(tuner), status.constData(), 64), 64);
    ASSERT_TRUE(err.WaitFor("RD 00  05 00 ")) << err.All().toStdString();

    bed.Unplug(tuner);
    ASSERT_TRUE(err.WaitFor("Device \"USB FM Tuner\" Disconnected!\n")) << err.All().toStdString();

    tuner.Number = 1;
    tuner.DevNum = 6;
    ASSERT_TRUE(bed.Plug(tuner));
    ASSERT_TRUE(err.WaitFor("Device connected\n")) << err.All().toStdString();
    const QByteArray again = ReceivedByDevice(bed.DeviceFd(tuner), 15000);
    ASSERT_GE(again.size(), 65);
    EXPECT_EQ(again.left(2), QByteArray("\0I", 2));

    Stop(program);
    EXPECT_EQ(program.exitCode(), 0) << err.All().toStdString();
}

TEST(HidrawEndToEnd, ARefusedNodeIsToldOnceWithTheWayToTheUdevRule) {
    TFakeHidraw bed;
    TFakeHid tuner;
    ASSERT_TRUE(bed.Add(tuner));
    const bool root = geteuid() == 0;
    QTemporaryDir config;
    QProcess program;
    if (root) {
        // Root opens everything: run the program as nobody, who may read sysfs but not open
        // the node, as a desktop user without the rule.
        const QString root = QString::fromStdString(bed.Root());
        for (QDir dir(root); !dir.isRoot(); dir.cdUp())
            chmod(QFile::encodeName(dir.path()).constData(), 0755);
        // umockdev's own sockets, through which its library in the program reaches the
        // testbed, stay open to everybody; the node itself is what refuses.
        ASSERT_EQ(QProcess::execute("chmod", {"-R", "a+rwX", root + "/ioctl"}), 0);
        chmod(QFile::encodeName(config.path()).constData(), 0777);
        program.setChildProcessModifier([] {
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
                _exit(126);
        });
    } else {
        // The node is a pseudo terminal the test owns: take its permissions away.
        const QString target =
            QFile::symLinkTarget(QString::fromStdString(bed.Root()) + "/dev/hidraw0");
        ASSERT_FALSE(target.isEmpty());
        chmod(QFile::encodeName(target).constData(), 0);
    }
    StartProgram(program, config.path());
    ASSERT_TRUE(program.waitForStarted());
    TStderr err(program);
    ASSERT_TRUE(err.WaitFor("Access to /dev/hidraw0 was refused (Permission denied)"))
        << err.All().toStdString();
    EXPECT_TRUE(err.WaitFor("60-orvalen.rules"));
    // Still claimed, so that it is there once the rule is in place and it is plugged again.
    EXPECT_TRUE(err.WaitFor("Device connected\n")) << err.All().toStdString();
    EXPECT_FALSE(err.Since(1500).contains("was refused"));
    Stop(program);
}
