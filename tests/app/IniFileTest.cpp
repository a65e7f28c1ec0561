#include "app/IniFile.h"

#include "FileBytes.h"
#include "platform/system/CodePage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString WriteFile(const QTemporaryDir& dir, const QByteArray& content) {
    const QString path = dir.filePath(QStringLiteral("orvalen.ini"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    return path;
}

QByteArray Cp1251(const QString& text) {
    QByteArray bytes;
    EXPECT_TRUE(CodePage::EncodeWindows1251(text, bytes)) << text.toStdString();
    return bytes;
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
    EXPECT_EQ(ReadFileBytes(path), QByteArray("; comment\r\n[main]\r\nVolume=70\r\nfoo=bar\r\n"
                                              "useBass=1\r\n\r\n[eq]\r\nx=1\r\n[new]\r\n"
                                              "name=") +
                                       Cp1251("Кухня") + "\r\n");
    EXPECT_EQ(TIniFile(path).ReadString("new", "name", ""), "Кухня");
}

TEST(IniFile, AWriteCreatesFileAndSection) {
    QTemporaryDir dir;
    const QString path = dir.filePath("fresh.ini");
    TIniFile ini(path);
    ini.WriteBool("main", "debug", false);
    EXPECT_EQ(ReadFileBytes(path), QByteArray("[main]\r\ndebug=0\r\n"));
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
        EXPECT_EQ(error.Message(), "Unable to write to " + path + ": the file is read-only");
    }
    EXPECT_EQ(ReadFileBytes(path), before);
    // A folder that does not exist cannot take the file either, and a settings "folder" that is
    // a file says why.
    TIniFile nowhere(dir.filePath("no/such/dir/orvalen.ini"));
    EXPECT_THROW(nowhere.WriteBool("main", "debug", true), EIniFileError);
    try {
        TIniFile(path + "/orvalen.ini").WriteBool("main", "debug", true);
        FAIL() << "the write should have been refused";
    } catch (const EIniFileError& error) {
        EXPECT_EQ(error.Message(),
                  "Unable to write to " + path + "/orvalen.ini: " + std::strerror(ENOTDIR));
    }
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
    try {
        ini.WriteInteger("main", "volume", 6);
        FAIL() << "the write should have been refused";
    } catch (const EIniFileError& error) {
        EXPECT_EQ(error.Message(), "Unable to write to " + path + ": larger than 64 MiB");
    }
    EXPECT_EQ(QFileInfo(path).size(), TIniFile::MaxFileSize + 1);
}

// Users bring their settings files from Windows or write them with any editor: the file is read
// as the Windows profile functions read it, and a write changes only the line it writes.
namespace {

enum class TText { Cp1251, Utf8, Utf16LE, Utf16BE };

QByteArray Encode(const QString& text, TText encoding) {
    switch (encoding) {
    case TText::Cp1251:
        return Cp1251(text);
    case TText::Utf8:
        return text.toUtf8();
    case TText::Utf16LE:
        return QStringEncoder(QStringEncoder::Utf16LE).encode(text);
    case TText::Utf16BE:
        return QStringEncoder(QStringEncoder::Utf16BE).encode(text);
    }
    return {};
}

QString FixturePath(const char* name) {
    return QStringLiteral(ORVALEN_SOURCE_DIR "/tests/app/data/ini/") + QLatin1String(name);
}

QByteArray Fixture(const char* name) {
    const QByteArray bytes = ReadFileBytes(FixturePath(name));
    EXPECT_FALSE(bytes.isEmpty()) << name;
    return bytes;
}

// The fixture's bytes with each line replaced, all in the file's encoding.
QByteArray Replaced(QByteArray bytes, TText encoding,
                    std::initializer_list<std::pair<QString, QString>> lines) {
    for (const auto& [from, to] : lines) {
        const QByteArray old = Encode(from + "\r\n", encoding);
        EXPECT_TRUE(bytes.contains(old)) << from.toStdString();
        bytes.replace(old, Encode(to + "\r\n", encoding));
    }
    return bytes;
}

const QString Mic = QStringLiteral("Микрофон (USB Audio)");
const QString Speakers = QStringLiteral("Динамики (Realtek High Definition Audio)");

} // namespace

TEST(IniFileText, ReadsWritesAndRereadsEachKindOfFile) {
    struct {
        const char* file;
        TText encoding;
        bool showList; // read with the default false
        const char* showListText;
    } cases[] = {
        {"cp1251.ini", TText::Cp1251, true, "1"},
        {"utf8-bom.ini", TText::Utf8, true, "1"},
        {"utf16le-bom.ini", TText::Utf16LE, true, "1"},
        {"utf16be-bom.ini", TText::Utf16BE, true, "1"},
        // The second [MAIN] holds volume=77 and useBass=1: neither is read.
        {"two-main.ini", TText::Cp1251, true, "1"},
        // A bare "ShowList" is the key with an empty value and hides the later "ShowList=1".
        {"bare-key.ini", TText::Cp1251, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        QTemporaryDir dir;
        const QByteArray original = Fixture(c.file);
        const QString path = WriteFile(dir, original);
        {
            TIniFile ini(path);
            EXPECT_EQ(ini.ReadInteger("main", "volume", 100), 55);
            EXPECT_EQ(ini.ReadString("main", "currentindevicename", "Default"), Mic);
            EXPECT_EQ(ini.ReadBool("main", "ShowList", false), c.showList);
            EXPECT_EQ(ini.ReadString("main", "ShowList", "none"), c.showListText);
            EXPECT_FALSE(ini.ReadBool("main", "useBass", false));

            // Writing back what was read leaves the file as it was, byte for byte.
            ini.WriteInteger("main", "volume", ini.ReadInteger("main", "volume", 100));
            ini.WriteString("main", "currentindevicename",
                            ini.ReadString("main", "currentindevicename", "Default"));
            ini.WriteString("main", "ShowList", ini.ReadString("main", "ShowList", "none"));
            EXPECT_EQ(ReadFileBytes(path), original);

            ini.WriteInteger("main", "volume", 56);
            ini.WriteString("main", "currentindevicename", QStringLiteral("Линейный вход"));
        }
        const QByteArray written = ReadFileBytes(path);
        EXPECT_EQ(written,
                  Replaced(original, c.encoding,
                           {{"volume=55", "volume=56"},
                            {"currentindevicename=" + Mic, "currentindevicename=Линейный вход"}}));

        // The next start reads the same values, and writing them again changes nothing.
        TIniFile again(path);
        EXPECT_EQ(again.ReadInteger("main", "volume", 100), 56);
        EXPECT_EQ(again.ReadString("main", "currentindevicename", "Default"), "Линейный вход");
        EXPECT_EQ(again.ReadBool("main", "ShowList", false), c.showList);
        again.WriteInteger("main", "volume", 56);
        again.WriteString("main", "currentindevicename", QStringLiteral("Линейный вход"));
        EXPECT_EQ(ReadFileBytes(path), written);
    }
}

TEST(IniFileText, TheOriginalProgramsFileSurvivesCloseAndRestartUnchanged) {
    QTemporaryDir dir;
    const QByteArray original = Fixture("original-cp1251.ini");
    const QString path = WriteFile(dir, original);
    const QString s = QStringLiteral("main");
    for (int run = 0; run < 2; ++run) {
        // Start-up reads, then the close writes the same keys in its own order.
        TIniFile ini(path);
        const int fm = ini.ReadInteger(s, "fmfrequency", 0);
        const int ukv = ini.ReadInteger(s, "ukvfrequency", 0);
        const int volume = ini.ReadInteger(s, "volume", 100);
        const bool direct = ini.ReadBool(s, "directsound", true);
        const QString in = ini.ReadString(s, "currentindevicename", "Default");
        const QString out = ini.ReadString(s, "currentoutdevicename", "Default");
        const bool fmBand = ini.ReadBool(s, "fmband", true);
        const bool eq = ini.ReadBool(s, "equalizeron", false);
        const bool list = ini.ReadBool(s, "ShowList", false);
        const bool bass = ini.ReadBool(s, "useBass", false);
        const int left = ini.ReadInteger(s, "Left", 200);
        const int top = ini.ReadInteger(s, "Top", 133);
        EXPECT_EQ(fm, 137);
        EXPECT_EQ(ukv, 12);
        EXPECT_EQ(volume, 55);
        EXPECT_EQ(in, Mic);
        EXPECT_EQ(out, Speakers);
        EXPECT_TRUE(list);
        ini.WriteInteger(s, "fmfrequency", fm);
        ini.WriteInteger(s, "ukvfrequency", ukv);
        ini.WriteInteger(s, "volume", volume);
        ini.WriteBool(s, "directsound", direct);
        ini.WriteString(s, "currentindevicename", in);
        ini.WriteString(s, "currentoutdevicename", out);
        ini.WriteBool(s, "fmband", fmBand);
        ini.WriteBool(s, "equalizeron", eq);
        ini.WriteInteger(s, "Left", left);
        ini.WriteInteger(s, "Top", top);
        ini.WriteBool(s, "ShowList", list);
        ini.WriteBool(s, "useBass", bass);
        EXPECT_EQ(ReadFileBytes(path), original) << "run " << run;
    }
}

TEST(IniFileText, EachStringIsReadAndWrittenInItsOwnCodePage) {
    // Without a mark, each value is UTF-8 when its bytes are valid UTF-8, else Windows-1251.
    QTemporaryDir dir;
    const QString path =
        WriteFile(dir, "[main]\r\nutf8=" + QStringLiteral("Мик").toUtf8() +
                           "\r\ncp=" + Cp1251("Мик") + "\r\nquoted=\"" + Cp1251("Мик") + "\"\r\n");
    const TIniFile mixed(path);
    EXPECT_EQ(mixed.ReadString("main", "utf8", ""), "Мик");
    EXPECT_EQ(mixed.ReadString("main", "cp", ""), "Мик");
    EXPECT_EQ(mixed.ReadString("main", "quoted", ""), "Мик");

    struct {
        const char* fixture; // nullptr: no file yet
        QString value;
        QByteArray line; // as the file holds it afterwards
    } cases[] = {
        {nullptr, "Микрофон №1", Cp1251("name=Микрофон №1\r\n")},
        // Not in the code page: the whole value goes out in UTF-8.
        {nullptr, "Микрофон Ω", QStringLiteral("name=Микрофон Ω\r\n").toUtf8()},
        // Its Windows-1251 bytes would read back as other UTF-8 text: UTF-8 keeps it.
        {nullptr, "РЎ", QStringLiteral("name=РЎ\r\n").toUtf8()},
        {"utf8-bom.ini", "Микрофон", QStringLiteral("name=Микрофон\r\n").toUtf8()},
        {"utf16be-bom.ini", "Микрофон Ω", Encode("name=Микрофон Ω\r\n", TText::Utf16BE)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        QTemporaryDir caseDir;
        const QString file = c.fixture ? WriteFile(caseDir, Fixture(c.fixture))
                                       : caseDir.filePath(QStringLiteral("orvalen.ini"));
        TIniFile(file).WriteString("main", "name", c.value);
        EXPECT_TRUE(ReadFileBytes(file).contains(c.line));
        EXPECT_EQ(TIniFile(file).ReadString("main", "name", ""), c.value);
    }
}

TEST(IniFileText, WritesGoToTheFirstMainSectionAndReplaceABareKey) {
    struct {
        const char* file;
        const char* key;
        QByteArray expected;
    } cases[] = {
        {"bare-key.ini", "ShowList",
         "[main]\r\nvolume=55\r\nShowList=1\r\ncurrentindevicename=" + Cp1251(Mic) +
             "\r\nShowList=1\r\n"},
        {"two-main.ini", "useBass",
         "[main]\r\nvolume=55\r\ncurrentindevicename=" + Cp1251(Mic) +
             "\r\nShowList=1\r\nuseBass=1\r\n[eq]\r\nx=1\r\n[MAIN]\r\nvolume=77\r\nuseBass=1\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        QTemporaryDir dir;
        const QString path = WriteFile(dir, Fixture(c.file));
        TIniFile(path).WriteBool("main", c.key, true);
        EXPECT_EQ(ReadFileBytes(path), c.expected);
        EXPECT_TRUE(TIniFile(path).ReadBool("main", c.key, false));
    }
}

TEST(IniFileText, EachLineKeepsItsOwnEndAndNewLinesFollowTheFile) {
    struct {
        QByteArray before;
        QByteArray after; // once volume=6 and then useBass=1 are written
    } cases[] = {
        {"[main]\nvolume=5\r\nname=x", "[main]\nvolume=6\r\nname=x\r\nuseBass=1\r\n"},
        {"[main]\nvolume=5", "[main]\nvolume=6\nuseBass=1\n"},
        {"[main]\rvolume=5\r\r\n[eq]\n", "[main]\rvolume=6\ruseBass=1\r\n\r\n[eq]\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before.toStdString());
        QTemporaryDir dir;
        const QString path = WriteFile(dir, c.before);
        TIniFile ini(path);
        ini.WriteInteger("main", "volume", 6);
        ini.WriteBool("main", "useBass", true);
        EXPECT_EQ(ReadFileBytes(path), c.after);
    }
}

TEST(IniFileText, BadInputReadsStablyAndLosesNoLine) {
    const QByteArray utf16Odd = Fixture("utf16le-odd.ini");
    const QByteArray mixed = Fixture("mixed-bytes.ini");
    struct {
        const char* file;
        int volume;
        QString inDevice;
        QByteArray afterWrite; // the file once useBass=1 is written
    } cases[] = {
        // Invalid UTF-8 with Windows-1251 bytes: the whole value reads as Windows-1251.
        {"mixed-bytes.ini", 55,
         CodePage::DecodeWindows1251(QStringLiteral("Мик").toUtf8() + Cp1251("рофон") + " \xD0"),
         mixed + "useBass=1\r\n"},
        // The odd last byte of a UTF-16 file is not read and stays the file's last byte.
        {"utf16le-odd.ini", 55, Mic,
         utf16Odd.chopped(1) + Encode("useBass=1\r\n", TText::Utf16LE) + utf16Odd.right(1)},
        {"lone-utf8-bom.ini", 100, "Default", "\xEF\xBB\xBF[main]\r\nuseBass=1\r\n"},
        {"lone-utf16-bom.ini", 100, "Default",
         "\xFF\xFE" + Encode("[main]\r\nuseBass=1\r\n", TText::Utf16LE)},
        // A mark after the start (files pasted together) is passed over like a space.
        {"bom-inside.ini", 55, "Default", Fixture("bom-inside.ini") + "useBass=1\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        QTemporaryDir dir;
        const QByteArray original = Fixture(c.file);
        const QString path = WriteFile(dir, original);
        {
            TIniFile ini(path);
            EXPECT_EQ(ini.ReadInteger("main", "volume", 100), c.volume);
            const QString inDevice = ini.ReadString("main", "currentindevicename", "Default");
            EXPECT_EQ(inDevice, c.inDevice);
            if (c.inDevice != "Default") {
                ini.WriteString("main", "currentindevicename", inDevice);
                EXPECT_EQ(ReadFileBytes(path), original);
            }
            ini.WriteBool("main", "useBass", true);
            EXPECT_EQ(ReadFileBytes(path), c.afterWrite);
        }
        TIniFile again(path);
        EXPECT_EQ(again.ReadInteger("main", "volume", 100), c.volume);
        EXPECT_EQ(again.ReadString("main", "currentindevicename", "Default"), c.inDevice);
        EXPECT_TRUE(again.ReadBool("main", "useBass", false));
        again.WriteBool("main", "useBass", true);
        EXPECT_EQ(ReadFileBytes(path), c.afterWrite);
    }
    const TIniFile mixedFile(FixturePath("mixed-bytes.ini"));
    EXPECT_EQ(mixedFile.ReadString("main", "currentoutdevicename", ""),
              CodePage::DecodeWindows1251("\xE2\x82"));
}

namespace {

// Builds something other than a regular file at `path`; returns a check that it is still there.
using TMaker = std::function<std::function<bool()>(const QString& path)>;

bool IsKind(const QString& path, mode_t kind) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & S_IFMT) == kind;
}

} // namespace

TEST(IniFileSpecial, APathThatIsNoRegularFileReadsAsMissingAndIsNeverReplaced) {
    const std::pair<const char*, TMaker> cases[] = {
        {"fifo",
         [](const QString& path) {
             EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
             return std::function<bool()>([path] { return IsKind(path, S_IFIFO); });
         }},
        {"directory",
         [](const QString& path) {
             EXPECT_TRUE(QDir().mkdir(path));
             return std::function<bool()>([path] { return IsKind(path, S_IFDIR); });
         }},
        {"symlink to itself",
         [](const QString& path) {
             EXPECT_TRUE(QFile::link(path, path));
             return std::function<bool()>([path] {
                 return IsKind(path, S_IFLNK) && QFileInfo(path).symLinkTarget() == path;
             });
         }},
    };
    for (const auto& [name, make] : cases) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("orvalen.ini"));
        const auto stillThere = make(path);
        // Opening a FIFO for reading waits for a writer: the reading must not.
        auto reading = std::async(std::launch::async, [&path] { return TIniFile(path); });
        if (reading.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
            ADD_FAILURE() << "reading blocked";
            ::close(::open(QFile::encodeName(path).constData(), O_WRONLY)); // set it free
        }
        TIniFile ini = reading.get();
        EXPECT_EQ(ini.ReadInteger("main", "volume", 100), 100);
        try {
            ini.WriteInteger("main", "volume", 6);
            ADD_FAILURE() << "the write should have been refused";
        } catch (const EIniFileError& error) {
            // The documented text, then why.
            EXPECT_TRUE(error.Message().startsWith("Unable to write to " + path + ": "))
                << error.Message().toStdString();
            EXPECT_GT(error.Message().size(), ("Unable to write to " + path + ": ").size());
        }
        EXPECT_TRUE(stillThere());
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
    }
}

TEST(IniFileSpecial, AWriteThroughASymlinkReplacesTheTargetAndKeepsTheLink) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("real"));
    const QString target = dir.filePath("real/settings.ini");
    const QString link = dir.filePath("orvalen.ini");
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[main]\r\nvolume=5\r\n");
    file.close();
    ASSERT_TRUE(QFile::link(target, link));

    TIniFile ini(link);
    EXPECT_EQ(ini.ReadInteger("main", "volume", 100), 5);
    ini.WriteInteger("main", "volume", 6);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), target);
    EXPECT_EQ(ReadFileBytes(target), "[main]\r\nvolume=6\r\n");
    EXPECT_EQ(QDir(dir.filePath("real")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"settings.ini"});
}

TEST(IniFileSections, ListsSectionsOnceAndReadsTheFirstOfEachWhole) {
    QTemporaryDir dir;
    const QString path =
        WriteFile(dir, "loose=1\r\n[Main]\r\nVolume=5\r\nvolume=6\r\n"
                       "name = \"Line In\"\r\n[" +
                           Cp1251("Запись") + "]\r\n[MAIN]\r\nextra=7\r\n[ Timers ]\r\n");
    const TIniFile ini(path);
    EXPECT_EQ(ini.Sections(), QStringList({"Main", "Запись", "Timers"}));
    const QMap<QString, QString> main{{"volume", "5"}, {"name", "Line In"}};
    EXPECT_EQ(ini.ReadSection("MAIN"), main);
    EXPECT_TRUE(ini.ReadSection("timers").isEmpty());
    EXPECT_TRUE(ini.ReadSection("nosuch").isEmpty());
}

TEST(IniFileSections, UpdateSectionWritesAndErasesKeysInOneGo) {
    struct {
        QByteArray before;
        QByteArray after;
    } cases[] = {
        // Every line of an erased key goes, or the next one would be read in its place; a
        // line that already holds its value stays as it is, and the user's keys stay.
        {"[rec]\r\n Frequency = 101.7\r\nstart=2026-12-24 19:00\r\nlabel=x\r\nSTART=2025-01-01\r\n"
         "\r\n[next]\r\nstart=1\r\n",
         "[rec]\r\n Frequency = 101.7\r\nlabel=x\r\ntime=19:00\r\ndays=1111100\r\n"
         "\r\n[next]\r\nstart=1\r\n"},
        // A missing section is added at the end, in the file's line ends.
        {"[a]\nx=1", "[a]\nx=1\n[REC]\nfrequency=101.7\ntime=19:00\ndays=1111100\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before.toStdString());
        QTemporaryDir dir;
        const QString path = WriteFile(dir, c.before);
        TIniFile ini(path);
        ini.UpdateSection("REC", {{"frequency", "101.7"}, {"time", "19:00"}, {"days", "1111100"}},
                          {"start", "duration"});
        EXPECT_EQ(ReadFileBytes(path), c.after);
        EXPECT_EQ(ini.ReadString("rec", "start", "none"), "none");
    }
}

TEST(IniFileSections, EraseSectionRemovesTheFirstSectionOfTheName) {
    struct {
        QByteArray before;
        QByteArray after;
        QMap<QString, QString> nextB; // what [b] reads afterwards
    } cases[] = {
        {"[a]\r\nx=1\r\n[B]\r\ny=2\r\n\r\n[c]\r\n[b]\r\nw=4\r\n",
         "[a]\r\nx=1\r\n[c]\r\n[b]\r\nw=4\r\n",
         {{"w", "4"}}},
        {"[a]\nx=1\n[b]\ny=2", "[a]\nx=1\n", {}},
        {"[b]\r\ny=2\r\n", "", {}},
        {"[a]\r\nx=1\r\n", "[a]\r\nx=1\r\n", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before.toStdString());
        QTemporaryDir dir;
        const QString path = WriteFile(dir, c.before);
        TIniFile ini(path);
        ini.EraseSection("b");
        EXPECT_EQ(ReadFileBytes(path), c.after);
        EXPECT_EQ(ini.ReadSection("b"), c.nextB);
    }
}

TEST(IniFileSections, EraseSectionWritesNothingWithoutTheSectionAndRefusesLikeTheWrites) {
    QTemporaryDir dir;
    const QByteArray before = "[a]\r\nx=1\r\n";
    const QString path = WriteFile(dir, before);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup);
    TIniFile ini(path);
    EXPECT_NO_THROW(ini.EraseSection("b")); // a read-only file shows that nothing was written
    try {
        ini.EraseSection("a");
        FAIL() << "the erase should have been refused";
    } catch (const EIniFileError& error) {
        EXPECT_EQ(error.Message(), "Unable to write to " + path + ": the file is read-only");
    }
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(ini.ReadString("a", "x", ""), "1");

    // A file too large to read may hold the section: it is refused, not passed over.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_TRUE(QFile(path).resize(TIniFile::MaxFileSize + 1));
    TIniFile large(path);
    EXPECT_EQ(large.NotReadReason(), "larger than 64 MiB");
    EXPECT_THROW(large.EraseSection("b"), EIniFileError);
    EXPECT_EQ(QFileInfo(path).size(), TIniFile::MaxFileSize + 1);
}
