// The login autostart entry: written where the desktop looks for it, valid for the desktop's
// own validator, and starting exactly this executable with --tray however odd its path, as
// GLib's launcher (the one GNOME's session uses) reads the entry.
#include "app/Autostart.h"

#include "WaitFor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

class Autostart : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        UseConfigHome(Dir.filePath("config"));
    }
    void TearDown() override {
        for (const auto& [name, value] : FSaved) {
            if (value)
                qputenv(name.constData(), *value);
            else
                qunsetenv(name.constData());
        }
    }

    void SetVariable(const char* name, const QString& value) {
        if (!FSaved.contains(name))
            FSaved[name] =
                qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
        qputenv(name, QFile::encodeName(value));
    }
    void UseConfigHome(const QString& folder) {
        SetVariable("XDG_CONFIG_HOME", folder);
        Entry = folder + "/autostart/orvalen.desktop";
    }

    // An executable "orvalen" in the folder `name` that writes the arguments it was started
    // with, its own path first, each ended by a NUL, to ArgvFile.
    QString FakeProgram(const QString& name) {
        const QString folder = Dir.filePath("programs/" + name);
        EXPECT_TRUE(QDir().mkpath(folder));
        QFile program(folder + "/orvalen");
        EXPECT_TRUE(program.open(QIODevice::WriteOnly));
        program.write("#!/bin/sh\n"
                      "printf '%s\\0' \"$0\" \"$@\" > \"$ORVALEN_ARGV.new\"\n"
                      "mv \"$ORVALEN_ARGV.new\" \"$ORVALEN_ARGV\"\n");
        program.close();
        program.setPermissions(program.permissions() | QFile::ExeOwner);
        return program.fileName();
    }
    QString ArgvFile() const { return Dir.filePath("argv"); }

    // Runs the entry as GLib's launcher does and gives the arguments the program received.
    std::vector<std::string> Launch() {
        QFile::remove(ArgvFile());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("ORVALEN_ARGV", ArgvFile());
        // No session bus to announce the start on, and none started for it.
        environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        QProcess gio;
        gio.setProcessEnvironment(environment);
        gio.start("gio", {"launch", Entry});
        EXPECT_TRUE(gio.waitForFinished(10000));
        EXPECT_EQ(gio.exitCode(), 0) << gio.readAllStandardError().toStdString();
        WaitFor([&] { return QFile::exists(ArgvFile()); }, 10000);
        QFile argv(ArgvFile());
        if (!argv.open(QIODevice::ReadOnly))
            return {};
        std::vector<std::string> arguments;
        for (const QByteArray& argument : argv.readAll().split('\0'))
            arguments.push_back(argument.toStdString());
        arguments.pop_back(); // after the last NUL
        return arguments;
    }

    QTemporaryDir Dir;
    QString Entry;

private:
    std::map<QByteArray, std::optional<QByteArray>> FSaved;
};

QString Validate(const QString& entry) {
    QProcess validator;
    validator.setProcessChannelMode(QProcess::MergedChannels);
    validator.start("desktop-file-validate", {entry});
    if (!validator.waitForFinished(10000))
        return "desktop-file-validate did not run";
    const QString output = QString::fromUtf8(validator.readAll());
    return validator.exitCode() == 0 ? QString() : output;
}

QStringList Lines(const QString& file) {
    QFile entry(file);
    if (!entry.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(entry.readAll()).split('\n');
}

} // namespace

TEST_F(Autostart, TheEntryStartsThisExecutableInTheTrayHoweverOddItsPath) {
    for (const QString& folder :
         {QString("Orvalen"), QString("My Programs"), QString("it's \"quoted\""),
          QString("$HOME and `date`"), QString("back\\slash\\"), QString("100% radio"),
          QString("Радио ä"), QString("a;b & (c) #d ~e *?<>|"), QString("tab\there"),
          QString("line\nbreak")}) {
        SCOPED_TRACE(folder.toStdString());
        const QString program = FakeProgram(folder);
        QString error;
        ASSERT_TRUE(SetAutostart(true, program, error)) << error.toStdString();
        EXPECT_TRUE(error.isEmpty());
        EXPECT_EQ(Validate(Entry), "");
        EXPECT_TRUE(AutostartEnabled());
        // GLib looks for the program under the Exec line's doubled '%' before it undoes the
        // doubling, so it refuses such an entry whole; the validator still checks its form.
        if (!folder.contains('%')) {
            EXPECT_EQ(Launch(), (std::vector<std::string>{program.toStdString(), "--tray"}));
        }
    }
    const QStringList lines = Lines(Entry);
    for (const char* line : {"Type=Application", "Name=Orvalen", "Icon=orvalen", "Terminal=false",
                             "X-GNOME-Autostart-enabled=true"})
        EXPECT_TRUE(lines.contains(line)) << line;
    EXPECT_FALSE(lines.contains("NoDisplay=true"));
    EXPECT_FALSE(lines.contains("Hidden=true"));
}

TEST_F(Autostart, SwitchedOffTheEntryIsGone) {
    QString error;
    ASSERT_TRUE(SetAutostart(true, "/usr/bin/orvalen", error)) << error.toStdString();
    ASSERT_TRUE(QFile::exists(Entry));
    EXPECT_TRUE(SetAutostart(false, "/usr/bin/orvalen", error)) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Entry));
    EXPECT_FALSE(AutostartEnabled());
    // Off when it is off already is no failure.
    EXPECT_TRUE(SetAutostart(false, "/usr/bin/orvalen", error));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();

    // A link whose target is gone still starts nothing, yet it is the entry and goes too.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(Entry).path()));
    ASSERT_TRUE(QFile::link(Dir.filePath("gone.desktop"), Entry));
    EXPECT_TRUE(SetAutostart(false, "/usr/bin/orvalen", error)) << error.toStdString();
    EXPECT_FALSE(QFileInfo(Entry).isSymLink());
}

TEST_F(Autostart, AnEntryTheDesktopSwitchedOffCountsAsOff) {
    const QString ours = AutostartEntryText("/usr/bin/orvalen");
    const struct {
        QString Text;
        bool Active;
    } cases[] = {
        {ours, true},
        {ours + "Hidden=true\n", false},
        {ours + "Hidden = true\n", false},
        {ours + "Hidden=false\n", true},
        {"[Desktop Entry]\r\nExec=orvalen\r\nHidden=true\r\n", false},
        {"[Desktop Entry]\nExec=orvalen\nX-GNOME-Autostart-enabled=false\n", false},
        // Only the entry's own group counts.
        {ours + "[Desktop Action Play]\nHidden=true\n", true},
        {"", false},
        {"Exec=orvalen\n", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AutostartEntryActive(c.Text), c.Active) << c.Text.toStdString();

    // Through the file, and switching it on again makes it the program's own entry again.
    QString error;
    ASSERT_TRUE(SetAutostart(true, "/usr/bin/orvalen", error)) << error.toStdString();
    QFile entry(Entry);
    ASSERT_TRUE(entry.open(QIODevice::Append));
    entry.write("Hidden=true\n");
    entry.close();
    EXPECT_FALSE(AutostartEnabled());
    ASSERT_TRUE(SetAutostart(true, "/usr/bin/orvalen", error)) << error.toStdString();
    EXPECT_TRUE(AutostartEnabled());

    // Something that is no file is no entry, and a FIFO is not waited on.
    ASSERT_TRUE(QFile::remove(Entry));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Entry).constData(), 0600), 0);
    EXPECT_FALSE(AutostartEnabled());
}

TEST_F(Autostart, TheFolderFollowsXdgConfigHome) {
    const struct {
        QString Variable;
        QString Folder;
    } cases[] = {
        {"/cfg", "/cfg/autostart"},
        {"/cfg/", "/cfg/autostart"},
        {"", "/home/u/.config/autostart"},
        {"cfg", "/home/u/.config/autostart"},
        {"~/cfg", "/home/u/.config/autostart"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AutostartFolderFrom(c.Variable, "/home/u"), c.Folder) << c.Variable.toStdString();

    // With this process's environment.
    SetVariable("HOME", Dir.filePath("home"));
    SetVariable("XDG_CONFIG_HOME", "");
    EXPECT_EQ(AutostartEntryPath(), Dir.filePath("home/.config/autostart/orvalen.desktop"));
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(AutostartEntryPath(), Dir.filePath("home/.config/autostart/orvalen.desktop"));
}

TEST_F(Autostart, WhatCannotBeDoneIsRefusedWithAReason) {
    const bool root = ::geteuid() == 0;
    const struct {
        const char* What;
        bool On;
        QString Program;
        // Makes the obstacle in the autostart folder's place.
        std::function<void(const QString& autostart)> Obstacle;
        bool NeedsNonRoot = false;
    } cases[] = {
        {"the autostart folder is a file", true, "/usr/bin/orvalen",
         [](const QString& autostart) {
             QFile file(autostart);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
         }},
        {"the entry is a folder", true, "/usr/bin/orvalen",
         [](const QString& autostart) {
             ASSERT_TRUE(QDir().mkpath(autostart + "/orvalen.desktop"));
         }},
        {"the entry is a folder with something in it", false, "/usr/bin/orvalen",
         [](const QString& autostart) {
             ASSERT_TRUE(QDir().mkpath(autostart + "/orvalen.desktop/keep"));
         }},
        {"the autostart folder is read-only", true, "/usr/bin/orvalen",
         [](const QString& autostart) {
             ASSERT_TRUE(QDir().mkpath(autostart));
             ASSERT_EQ(::chmod(QFile::encodeName(autostart).constData(), 0555), 0);
         },
         true},
        {"a relative path", true, "bin/orvalen", [](const QString&) {}},
        {"a control character in the path", true, "/opt/or\x01valen", [](const QString&) {}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        if (c.NeedsNonRoot && root)
            continue; // the superuser writes anyway
        const QString config = Dir.filePath(QString("case%1").arg(++n));
        ASSERT_TRUE(QDir().mkpath(config));
        UseConfigHome(config);
        ASSERT_NO_FATAL_FAILURE(c.Obstacle(config + "/autostart"));
        QString error;
        EXPECT_FALSE(SetAutostart(c.On, c.Program, error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(AutostartEnabled());
        ::chmod(QFile::encodeName(config + "/autostart").constData(), 0755);
    }
}
