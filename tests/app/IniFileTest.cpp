#include "app/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString WriteFile(const QTemporaryDir& dir, const QByteArray& content) {
    const QString path = dir.filePath(QStringLiteral("orvalen.ini"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    return path;
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(ParseIniInteger, ReadsDecimalAndHexadecimalElseTheDefault) {
    struct {
        const char* text;
        int expected;
    } cases[] = {
        {"42", 42},
        {"-50", -50},
        {"+7", 7},
        {"0x1F", 31},
        {"0X1f", 31},
        {"$10", 16},
        {"-$10", -16},
        {"$FFFFFFFF", -1},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", 99},
        {"$100000000", 99},
        {"", 99},
        {"yes", 99},
        {"12abc", 99},
        {"0x", 99},
        {"-", 99},
        {"1 2", 99},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseIniInteger(c.text, 99), c.expected) << c.text;
}

TEST(IniFile, ReadsValuesWithoutRegardToCaseAndFallsBackToDefaults) {
    QTemporaryDir dir;
    const QString path = WriteFile(dir, "[other]\r\nvolume=1\r\n[MAIN]\r\n"
                                        "VOLUME = 55\r\ndirectsound=yes\r\nempty=\r\n"
                                        "name=Line In\r\nflag=-3\r\n");
    const TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("main", "volume", 100), 55);
    EXPECT_TRUE(ini.ReadBool("main", "directsound", true)); // not an integer: the default
    EXPECT_FALSE(ini.ReadBool("main", "directsound", false));
    EXPECT_EQ(ini.ReadInteger("main", "empty", 8), 8);
    EXPECT_EQ(ini.ReadString("Main", "Name", "Default"), "Line In");
    EXPECT_EQ(ini.ReadString("main", "missing", "Default"), "Default");
    EXPECT_TRUE(ini.ReadBool("main", "flag", false)); // any non-zero integer is true
    EXPECT_EQ(ini.ReadInteger("nosuch", "volume", 3), 3);
}

TEST(IniFile, CutsLongStringsTo2047Characters) {
    QTemporaryDir dir;
    const QString path = WriteFile(dir, "[main]\nname=" + QByteArray(5000, 'x') + "\n");
    EXPECT_EQ(TIniFile(path).ReadString("main", "name", "").size(), 2047);
}

TEST(IniFile, OddContentReadsAsDefaults) {
    QTemporaryDir dir;
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk += char((i * 131) % 256);
    for (const QByteArray& content :
         {junk, QByteArray("[main\n=5\nvolume\n[]\n==\n\r\r\n"), QByteArray()}) {
        const TIniFile ini(WriteFile(dir, content));
        EXPECT_EQ(ini.ReadInteger("main", "volume", 100), 100);
    }
    const TIniFile missing(dir.filePath("none.ini"));
    EXPECT_EQ(missing.ReadString("main", "x", "d"), "d");
}

TEST(IniFile, WritesReplaceOrAppendKeepingEverythingElse) {
    QTemporaryDir dir;
    const QString path = WriteFile(dir, "; comment\r\n[main]\r\nvolume=5\r\nfoo=bar\r\n\r\n"
                                        "[eq]\r\nx=1\r\n");
    TIniFile ini(path);
    ini.WriteInteger("main", "Volume", 70);
    ini.WriteBool("main", "useBass", true);
    ini.WriteString("new", "name", "Кухня");
    EXPECT_EQ(ReadFile(path), QByteArray("; comment\r\n[main]\r\nVolume=70\r\nfoo=bar\r\n"
                                         "useBass=1\r\n\r\n[eq]\r\nx=1\r\n[new]\r\n"
                                         "name=Кухня\r\n"));
    EXPECT_EQ(TIniFile(path).ReadString("new", "name", ""), "Кухня");
}

TEST(IniFile, AWriteCreatesFileAndSection) {
    QTemporaryDir dir;
    const QString path = dir.filePath("fresh.ini");
    TIniFile ini(path);
    ini.WriteBool("main", "debug", false);
    EXPECT_EQ(ReadFile(path), QByteArray("[main]\r\ndebug=0\r\n"));
}

TEST(IniFile, ARefusedWriteRaisesTheMessageAndLeavesTheFileWhole) {
    QTemporaryDir dir;
    const QByteArray before = "[main]\r\nvolume=5\r\n";
    const QString path = WriteFile(dir, before);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup);
    TIniFile ini(path);
    try {
        ini.WriteInteger("main", "volume", 6);
        FAIL() << "the write should have been refused";
    } catch (const EIniFileError& error) {
        EXPECT_EQ(error.Message(), "Unable to write to " + path);
    }
    EXPECT_EQ(ReadFile(path), before);
    // A folder that does not exist cannot take the file either.
    TIniFile nowhere(dir.filePath("no/such/dir/orvalen.ini"));
    EXPECT_THROW(nowhere.WriteBool("main", "debug", true), EIniFileError);
}

TEST(IniFile, AnEnormousFileGivesDefaultsAndIsNeverRewritten) {
    QTemporaryDir dir;
    const QString path = WriteFile(dir, "[main]\r\nvolume=5\r\n");
    {
        QFile file(path);
        ASSERT_TRUE(file.resize(TIniFile::MaxFileSize + 1)); // sparse: no time, no disk
    }
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("main", "volume", 100), 100);
    EXPECT_THROW(ini.WriteInteger("main", "volume", 6), EIniFileError);
    EXPECT_EQ(QFileInfo(path).size(), TIniFile::MaxFileSize + 1);
}
