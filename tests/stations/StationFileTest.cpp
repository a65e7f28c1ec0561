#include "stations/StationFile.h"

#include "FileBytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Stations;

namespace {

const QString Fixture1251 =
    QStringLiteral(ORVALEN_SOURCE_DIR "/tests/stations/data/stations-cp1251.lst");

} // namespace

TEST(StationText, LineEndsOfEveryKind) {
    struct Case {
        QByteArray bytes;
        QStringList lines;
    } cases[] = {
        {"a=1\r\nb=2\r\n", {"a=1", "b=2"}},
        {"a=1\nb=2\rc=3\r\nd=4", {"a=1", "b=2", "c=3", "d=4"}},
        {"a=1\n\r\nb=2", {"a=1", "", "b=2"}},
        {"a=1\n\rb=2", {"a=1", "", "b=2"}}, // LF CR is two line ends
        {"\r\n", {""}},
        {"", {}},
        {"only", {"only"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodeStationText(c.bytes), c.lines) << c.bytes.toStdString();
}

TEST(StationText, WritesCrLfAfterEveryLine) {
    EXPECT_EQ(EncodeStationText({"a=1", "", "b=2"}), QByteArray("a=1\r\n\r\nb=2\r\n"));
    EXPECT_EQ(EncodeStationText({}), QByteArray());
}

TEST(StationText, CodePageFollowsTheContent) {
    const QStringList cyrillic = {"101.7=Новости", "65.9=Маяк Ёё №"};
    const QByteArray in1251 = EncodeStationText(cyrillic);
    EXPECT_EQ(in1251, QByteArray("101.7=\xcd\xee\xe2\xee\xf1\xf2\xe8\r\n"
                                 "65.9=\xcc\xe0\xff\xea \xa8\xb8 \xb9\r\n"));
    EXPECT_EQ(DecodeStationText(in1251), cyrillic);

    // Characters Windows-1251 lacks switch the whole file to UTF-8, read back as such.
    const QStringList beyond = {"101.7=Новости", "95.5=Ελληνικά €", "91.2=日本 😀"};
    const QByteArray utf8 = EncodeStationText(beyond);
    EXPECT_EQ(utf8, (beyond.join("\r\n") + "\r\n").toUtf8());
    EXPECT_EQ(DecodeStationText(utf8), beyond);

    // A byte-order mark written by some editor is not part of the first frequency.
    EXPECT_EQ(DecodeStationText("\xef\xbb\xbf"
                                "101.7=\xd0\x9d\r\n"),
              QStringList({"101.7=Н"}));
}

TEST(StationText, EveryByteSurvivesReadAndWrite) {
    // Junk that is not UTF-8 reads as Windows-1251, undefined byte included, and writes back
    // unchanged.
    QByteArray junk;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r' && b != '\n')
            junk.append(char(b));
    }
    junk += "\r\n";
    const QStringList lines = DecodeStationText(junk);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].size(), 254);
    EXPECT_EQ(EncodeStationText(lines), junk);
}

TEST(StationFile, OriginalCodePageFileReadsAndWritesBackUnchanged) {
    QStringList lines;
    ASSERT_TRUE(LoadStationFile(Fixture1251, lines));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "101.7=Новости");
    EXPECT_EQ(lines[1], QString("88.0=") + QChar(0x1F) + "Радио Россия");
    EXPECT_EQ(lines[2], "65.9=Маяк");
    EXPECT_EQ(lines[3], "104.2=Джаз");

    QTemporaryDir dir;
    const QString path = dir.filePath("orvalen.lst");
    QString error;
    ASSERT_TRUE(SaveStationFile(path, lines, &error)) << error.toStdString();
    EXPECT_EQ(ReadFileBytes(path), ReadFileBytes(Fixture1251));
}

TEST(StationFile, NameBeyondTheCodePageSurvivesSaveAndLoad) {
    QTemporaryDir dir;
    const QString path = dir.filePath("orvalen.lst");
    const QStringList lines = {"101.7=Новости", "91.2=Café Ĳ"};
    QString error;
    ASSERT_TRUE(SaveStationFile(path, lines, &error)) << error.toStdString();
    QStringList reread;
    ASSERT_TRUE(LoadStationFile(path, reread));
    EXPECT_EQ(reread, lines);
}

TEST(StationFile, MissingFileGivesNoLines) {
    QTemporaryDir dir;
    QStringList lines = {"stale"};
    EXPECT_FALSE(LoadStationFile(dir.filePath("absent.lst"), lines));
    EXPECT_TRUE(lines.isEmpty());
}

TEST(StationFile, ReplacesTheFileAndKeepsItsPermissions) {
    QTemporaryDir dir;
    const QString path = dir.filePath("orvalen.lst");
    WriteFileBytes(path, QByteArray(5000, 'x'));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    QString error;
    ASSERT_TRUE(SaveStationFile(path, {"88.0=a"}, &error)) << error.toStdString();
    EXPECT_EQ(ReadFileBytes(path), QByteArray("88.0=a\r\n"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"orvalen.lst"}))
        << "no temporary file is left behind";
}

TEST(StationFile, FailureNamesTheFileAndTheSystemReason) {
    QTemporaryDir dir;
    const QString path = dir.filePath("no-such-folder/orvalen.lst");
    QString error;
    EXPECT_FALSE(SaveStationFile(path, {"88.0=a"}, &error));
    EXPECT_EQ(error, "Cannot create file \"" + path + "\". No such file or directory");

    // A folder in the file's place: the rename fails, and the temporary file goes away.
    const QString occupied = dir.filePath("occupied.lst");
    ASSERT_TRUE(QDir(dir.path()).mkpath("occupied.lst/inner"));
    EXPECT_FALSE(SaveStationFile(occupied, {"88.0=a"}, &error));
    EXPECT_TRUE(error.startsWith("Cannot create file \"" + occupied + "\". "))
        << error.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

TEST(StationFile, HostileContentLoadsWithoutHarm) {
    QTemporaryDir dir;
    const QString path = dir.filePath("junk.lst");
    QByteArray bytes(300000, 'a');
    bytes += QByteArray("=long\r\n\x00\xff\xfe\x80=\x98\n\r\n", 16);
    for (int i = 0; i < 1000000; ++i)
        bytes += "1\n";
    bytes += "tail without end";
    WriteFileBytes(path, bytes);
    QStringList lines;
    ASSERT_TRUE(LoadStationFile(path, lines));
    ASSERT_EQ(lines.size(), 1000004);
    EXPECT_EQ(lines[0].size(), 300005);
    EXPECT_EQ(lines.last(), "tail without end");
    EXPECT_EQ(lines[1].size(), 6);
    EXPECT_EQ(EncodeStationText(lines.mid(0, 2)), bytes.left(300005 + 2 + 6) + "\r\n")
        << "a NUL and bytes outside UTF-8 write back as they were";
}

namespace {

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

void MakeLink(const QString& target, const QString& link) {
    ASSERT_EQ(::symlink(Native(target).constData(), Native(link).constData()), 0)
        << link.toStdString();
}

QString LinkText(const QString& link) {
    char text[4096];
    const ssize_t n = ::readlink(Native(link).constData(), text, sizeof text);
    return n < 0 ? QString() : QFile::decodeName(QByteArray(text, n));
}

// Another copy of this program, alive as long as the object.
struct WaitingChild {
    pid_t pid = ::fork();
    WaitingChild() {
        if (pid == 0) {
            ::pause();
            ::_exit(0);
        }
    }
    ~WaitingChild() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    WaitingChild(const WaitingChild&) = delete;
    WaitingChild& operator=(const WaitingChild&) = delete;
};

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace

TEST(StationFile, OnlyARegularFileIsRead) {
    QTemporaryDir dir;
    WriteFileBytes(dir.filePath("real.lst"), "88.0=a\r\n");
    ASSERT_EQ(::mkfifo(Native(dir.filePath("fifo.lst")).constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.lst"));
    MakeLink("real.lst", dir.filePath("link.lst"));
    MakeLink("/dev/null", dir.filePath("device.lst"));
    const struct {
        const char* name;
        bool read;
    } cases[] = {
        {"fifo.lst", false},
        {"folder.lst", false},
        {"device.lst", false},
        {"link.lst", true},
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(c.name);
        // In a thread of its own, so that an open() waiting for a FIFO's writer fails the
        // test instead of hanging it: a writer that comes and goes after the wait ends it.
        QStringList lines = {"stale"};
        auto load = std::async(std::launch::async, [&] { return LoadStationFile(path, lines); });
        if (load.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
            ADD_FAILURE() << c.name << ": opening waits";
            ::close(::open(Native(path).constData(), O_WRONLY | O_NONBLOCK));
            load.wait();
            continue;
        }
        EXPECT_EQ(load.get(), c.read) << c.name;
        EXPECT_EQ(lines, c.read ? QStringList({"88.0=a"}) : QStringList()) << c.name;
    }
}

TEST(StationFile, SavingThroughALinkReplacesTheTargetAndKeepsTheLink) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("config"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("data"));
    const QString config = dir.filePath("config");
    const QString data = dir.filePath("data");
    const QString real = dir.filePath("data/real.lst");
    const struct {
        const char* name;
        QStringList links; // "<link>=<its text>", the last one is the station path
        QString target;
    } cases[] = {
        {"absolute", {"config/orvalen.lst=" + real}, real},
        {"relative", {"config/orvalen.lst=../data/real.lst"}, real},
        {"chain", {"config/hop.lst=" + real, "config/orvalen.lst=hop.lst"}, real},
        // A link whose target is not there yet: the save makes the target, as writing
        // through the link would.
        {"dangling", {"config/orvalen.lst=../data/new.lst"}, dir.filePath("data/new.lst")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& entry : Entries(config))
            QFile::remove(config + '/' + entry);
        QFile::remove(dir.filePath("data/new.lst"));
        WriteFileBytes(real, "88.0=old\r\n");
        ASSERT_EQ(::chmod(Native(real).constData(), 0640), 0);
        for (const QString& link : c.links)
            MakeLink(link.section('=', 1), dir.filePath(link.section('=', 0, 0)));

        const QString path = dir.filePath("config/orvalen.lst");
        QString error;
        ASSERT_TRUE(SaveStationFile(path, {"101.7=new"}, &error)) << error.toStdString();
        EXPECT_EQ(ReadFileBytes(c.target).toStdString(), "101.7=new\r\n");
        for (const QString& link : c.links) {
            EXPECT_EQ(LinkText(dir.filePath(link.section('=', 0, 0))), link.section('=', 1))
                << "the link stays as it was";
        }
        struct stat st {};
        ASSERT_EQ(::stat(Native(c.target).constData(), &st), 0);
        if (c.target == real) {
            EXPECT_EQ(st.st_mode & 07777, 0640u);
        }
        EXPECT_EQ(Entries(data).size(), c.target == real ? 1 : 2) << "no temporary file is left";
        EXPECT_EQ(Entries(config).size(), c.links.size());
    }
}

TEST(StationFile, LinkLoopIsAFailureThatLeavesTheLinks) {
    QTemporaryDir dir;
    MakeLink("b.lst", dir.filePath("a.lst"));
    MakeLink("a.lst", dir.filePath("b.lst"));
    QString error;
    EXPECT_FALSE(SaveStationFile(dir.filePath("a.lst"), {"88.0=a"}, &error));
    EXPECT_EQ(error, "Cannot create file \"" + dir.filePath("a.lst") +
                         "\". Too many levels of symbolic links");
    EXPECT_EQ(LinkText(dir.filePath("a.lst")), "b.lst");
    EXPECT_EQ(LinkText(dir.filePath("b.lst")), "a.lst");
    EXPECT_EQ(Entries(dir.path()), QStringList({"a.lst", "b.lst"}));
}

TEST(StationFile, StartUpRemovesTemporariesOfKilledSavesOnly) {
    // Pids: one no process can have, this process, another copy of this program (a child that
    // waits) and some other program that may have been given a killed writer's pid.
    QFile pidMax("/proc/sys/kernel/pid_max");
    ASSERT_TRUE(pidMax.open(QIODevice::ReadOnly));
    const QByteArray dead = pidMax.readAll().trimmed();
    const QByteArray own = QByteArray::number(qint64(::getpid()));
    const WaitingChild child;
    ASSERT_GT(child.pid, 0);
    QProcess sleeper;
    sleeper.start("sleep", {"60"});
    ASSERT_TRUE(sleeper.waitForStarted());
    const QByteArray sibling = QByteArray::number(qint64(child.pid));
    const QByteArray stranger = QByteArray::number(sleeper.processId());

    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("config"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("data"));
    WriteFileBytes(dir.filePath("data/real.lst"), "88.0=a\r\n");
    MakeLink("../data/real.lst", dir.filePath("config/orvalen.lst"));
    WriteFileBytes(dir.filePath("outside"), "precious");
    const struct {
        QByteArray name;
        bool removed;
    } cases[] = {
        {"data/real.lst.tmp" + dead + "-0", true},
        {"data/real.lst.tmp" + dead + "-17", true},
        {"data/real.lst.tmp" + stranger + "-2", true},
        {"config/orvalen.lst.tmp" + dead + "-3", true}, // beside the link, as saves once did
        {"data/real.lst.tmp" + own + "-0", false},
        {"data/real.lst.tmp" + sibling + "-0", false},
        {"data/real.lst.tmp", false},
        {"data/real.lst.tmp" + dead, false},
        {"data/real.lst.tmp" + dead + "-", false},
        {"data/real.lst.tmp" + dead + "-1x", false},
        {"data/real.lst.tmp0" + dead + "-1", false},
        {"data/real.lst.tmp-" + dead + "-1", false},
        {"data/real.lst.tmp" + dead + "-0.bak", false},
        {"data/other.lst.tmp" + dead + "-0", false},
        {"data/xreal.lst.tmp" + dead + "-0", false},
        {"config/real.lst.tmp" + dead + "-0", false},
    };
    for (const auto& c : cases)
        WriteFileBytes(dir.filePath(c.name), "10 MB of stations");
    // Named as a temporary but not a plain file: a folder, and a link to someone's file.
    ASSERT_TRUE(QDir(dir.path()).mkdir("data/real.lst.tmp" + dead + "-5"));
    MakeLink(dir.filePath("outside"), dir.filePath("data/real.lst.tmp" + dead + "-6"));

    QStringList lines;
    EXPECT_TRUE(LoadStationFile(dir.filePath("config/orvalen.lst"), lines));
    EXPECT_EQ(lines, QStringList({"88.0=a"}));
    for (const auto& c : cases)
        EXPECT_EQ(QFile::exists(dir.filePath(c.name)), !c.removed) << c.name.toStdString();
    EXPECT_TRUE(QFileInfo(dir.filePath("data/real.lst.tmp" + dead + "-5")).isDir());
    EXPECT_EQ(ReadFileBytes(dir.filePath("data/real.lst.tmp" + dead + "-6")), "precious");
    EXPECT_EQ(ReadFileBytes(dir.filePath("outside")), "precious");

    sleeper.kill();
    sleeper.waitForFinished();
}
