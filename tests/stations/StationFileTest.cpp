#include "stations/StationFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Stations;

namespace {

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

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

TEST(StationText, EncodingTableAgreesWithTheCodePage) {
    char byte = 0;
    ASSERT_TRUE(EncodeWindows1251(QChar(u'Я'), &byte));
    EXPECT_EQ(static_cast<unsigned char>(byte), 0xDF);
    ASSERT_TRUE(EncodeWindows1251(QChar(u'€'), &byte));
    EXPECT_EQ(static_cast<unsigned char>(byte), 0x88);
    EXPECT_EQ(DecodeWindows1251(0xB9), QChar(u'№'));
    EXPECT_EQ(DecodeWindows1251(0xE0), QChar(u'а'));
    EXPECT_FALSE(EncodeWindows1251(QChar(u'é'), &byte));
    EXPECT_FALSE(EncodeWindows1251(QChar(0x00A0 + 0x100), &byte));
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
    EXPECT_EQ(ReadBytes(path), ReadBytes(Fixture1251));
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
    WriteBytes(path, QByteArray(5000, 'x'));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    QString error;
    ASSERT_TRUE(SaveStationFile(path, {"88.0=a"}, &error)) << error.toStdString();
    EXPECT_EQ(ReadBytes(path), QByteArray("88.0=a\r\n"));
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
    WriteBytes(path, bytes);
    QStringList lines;
    ASSERT_TRUE(LoadStationFile(path, lines));
    ASSERT_EQ(lines.size(), 1000004);
    EXPECT_EQ(lines[0].size(), 300005);
    EXPECT_EQ(lines.last(), "tail without end");
    EXPECT_EQ(lines[1].size(), 6);
    EXPECT_EQ(EncodeStationText(lines.mid(0, 2)), bytes.left(300005 + 2 + 6) + "\r\n")
        << "a NUL and bytes outside UTF-8 write back as they were";
}
