#include "app/TimersFile.h"

#include "FileBytes.h"
#include "app/IniFile.h"
#include "platform/system/CodePage.h"

#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {

const QByteArray Example = "[sleep]\r\nminutes=30\r\n"
                           "[wakeup]\r\nenabled=1\r\ntime=07:30\r\ndays=1111100\r\n"
                           "frequency=101.7\r\nvolume=60\r\n"
                           "[record1]\r\nfrequency=101.7\r\nstart=2026-12-24 19:00\r\n"
                           "duration=01:00\r\n";

QString TimersPath(const QTemporaryDir& dir) {
    return dir.filePath(QStringLiteral("orvalen-timers.ini"));
}

QString WriteTimers(const QTemporaryDir& dir, const QByteArray& bytes) {
    const QString path = TimersPath(dir);
    WriteFileBytes(path, bytes);
    return path;
}

constexpr std::array<bool, 7> Weekdays = {true, true, true, true, true, false, false};
constexpr std::array<bool, 7> Weekend = {false, false, false, false, false, true, true};

TRecordingTimer Recording(TTimerSchedule schedule, int tuneValue, int seconds) {
    return {std::move(schedule), {tuneValue, tuneValue >= 880}, seconds};
}

// The example file's entries.
const TWakeUp ExampleWakeUp = {true, {QDate(), QTime(7, 30), Weekdays}, {1017, true}, 60};
const TRecordingTimer ExampleRecording =
    Recording({QDate(2026, 12, 24), QTime(19, 0), {}}, 1017, 3600);
const TRecordingTimer MorningNews = Recording({QDate(), QTime(7, 0), Weekdays}, 698, 1800);

void ExpectSameRecording(const TRecordingTimer& actual, const TRecordingTimer& expected) {
    EXPECT_EQ(actual.Schedule.Date, expected.Schedule.Date);
    EXPECT_EQ(actual.Schedule.Time, expected.Schedule.Time);
    EXPECT_EQ(actual.Schedule.Days, expected.Schedule.Days);
    EXPECT_EQ(actual.Station, expected.Station);
    EXPECT_EQ(actual.DurationSeconds, expected.DurationSeconds);
}

// Each writer that creates the file, with what it writes into an empty one: the example's own
// sections, so that the program writes the form it reads.
const struct {
    const char* Name;
    std::function<void(const QString&)> Write;
    QByteArray Created;
} Writers[] = {
    {"sleep", [](const QString& path) { WriteSleepMinutes(path, 30); },
     "[sleep]\r\nminutes=30\r\n"},
    {"wake-up", [](const QString& path) { WriteWakeUp(path, ExampleWakeUp); },
     "[wakeup]\r\nenabled=1\r\ntime=07:30\r\ndays=1111100\r\nfrequency=101.7\r\nvolume=60\r\n"},
    {"recording", [](const QString& path) { AddRecording(path, ExampleRecording); },
     "[record1]\r\nfrequency=101.7\r\nstart=2026-12-24 19:00\r\nduration=01:00\r\n"},
};

} // namespace

TEST(TimersFile, LivesBesideTheSettingsAndReadsIntoTheModel) {
    const std::pair<const char*, const char*> paths[] = {
        {"/home/user/.config/orvalen/orvalen.ini", "/home/user/.config/orvalen/orvalen-timers.ini"},
        {"/orvalen.ini", "/orvalen-timers.ini"},
    };
    for (const auto& [settings, timers] : paths)
        EXPECT_EQ(TimersFilePath(settings), timers) << settings;

    QTemporaryDir dir;
    const TTimersFile timers = ReadTimersFile(WriteTimers(dir, Example));
    EXPECT_EQ(timers.SleepMinutes, 30);
    ASSERT_TRUE(timers.WakeUp);
    EXPECT_TRUE(timers.WakeUp->Enabled);
    EXPECT_FALSE(timers.WakeUp->Schedule.Date.isValid());
    EXPECT_EQ(timers.WakeUp->Schedule.Time, QTime(7, 30));
    EXPECT_EQ(timers.WakeUp->Schedule.Days, Weekdays);
    EXPECT_EQ(timers.WakeUp->Station, (TTimerStation{1017, true}));
    EXPECT_EQ(timers.WakeUp->Volume, 60);
    ASSERT_EQ(timers.Recordings.size(), 1u);
    EXPECT_EQ(timers.Recordings[0].first, "record1");
    ExpectSameRecording(timers.Recordings[0].second, ExampleRecording);
    EXPECT_TRUE(timers.Problems.isEmpty()) << timers.Problems.join('\n').toStdString();
}

TEST(TimersFile, EachBrokenEntryIsOneProblemAndReadsAsAbsent) {
    QTemporaryDir dir;
    const QString path =
        WriteTimers(dir, "[Sleep]\r\nminutes=half an hour\r\n"
                         "[wakeup]\r\nenabled=1\r\ntime=7:30\r\ndays=1111100\r\nfrequency=101.7\r\n"
                         "[record]\r\nfrequency=1\r\n" // not a recording's name: not read
                         "[RECORD1]\r\nfrequency=69.8\r\ntime=07:00\r\ndays=1111100\r\n"
                         "duration=00:30\r\n"
                         "[record2]\r\nfrequency=80.0\r\nstart=2026-12-24 19:00\r\n"
                         "duration=01:00\r\n");
    const TTimersFile timers = ReadTimersFile(path);
    EXPECT_EQ(timers.Problems, QStringList({"orvalen-timers.ini [Sleep]: minutes=half an hour",
                                            "orvalen-timers.ini [wakeup]: time=7:30",
                                            "orvalen-timers.ini [record2]: frequency=80.0"}));
    EXPECT_EQ(timers.SleepMinutes, 0);
    EXPECT_FALSE(timers.WakeUp);
    ASSERT_EQ(timers.Recordings.size(), 1u);
    EXPECT_EQ(timers.Recordings[0].first, "RECORD1");
    ExpectSameRecording(timers.Recordings[0].second, MorningNews);
}

// Users edit the file by hand: what the program does not understand, and an entry it cannot
// read, outlive every write of another entry unchanged.
TEST(TimersFile, WritesChangeOnlyTheirOwnLines) {
    QTemporaryDir dir;
    const QByteArray handMade = "; Timers, edited by hand\r\n"
                                "[sleep]\r\nminutes=30\r\n"
                                "[Record1]\r\nfrequency=101.7\r\nstart=2026-12-24 19:00\r\n"
                                "duration=01:00\r\nlabel=Christmas concert\r\n"
                                "[record2]\r\nfrequency=101.7\r\nstart=2026-02-30 19:00\r\n"
                                "duration=01:00\r\n"
                                "[display]\r\ncolor=green\r\n";
    const QString path = WriteTimers(dir, handMade);
    const QStringList problem = {"orvalen-timers.ini [record2]: start=2026-02-30 19:00"};
    EXPECT_EQ(ReadTimersFile(path).Problems, problem);

    EXPECT_EQ(AddRecording(path, MorningNews), "record3");
    EXPECT_EQ(ReadFileBytes(path), handMade + "[record3]\r\nfrequency=69.8\r\ntime=07:00\r\n"
                                              "days=1111100\r\nduration=00:30\r\n");
    WriteSleepMinutes(path, 45);
    // Now weekly: start= goes, the user's label stays.
    const TRecordingTimer weekends = Recording({QDate(), QTime(19, 0), Weekend}, 1017, 3600);
    ReplaceRecording(path, "record1", weekends);
    RemoveRecording(path, "RECORD3");
    EXPECT_EQ(ReadFileBytes(path), "; Timers, edited by hand\r\n"
                                   "[sleep]\r\nminutes=45\r\n"
                                   "[Record1]\r\nfrequency=101.7\r\nduration=01:00\r\n"
                                   "label=Christmas concert\r\ntime=19:00\r\ndays=0000011\r\n"
                                   "[record2]\r\nfrequency=101.7\r\nstart=2026-02-30 19:00\r\n"
                                   "duration=01:00\r\n"
                                   "[display]\r\ncolor=green\r\n");

    const TTimersFile timers = ReadTimersFile(path);
    EXPECT_EQ(timers.Problems, problem);
    EXPECT_EQ(timers.SleepMinutes, 45);
    ASSERT_EQ(timers.Recordings.size(), 1u);
    EXPECT_EQ(timers.Recordings[0].first, "Record1");
    ExpectSameRecording(timers.Recordings[0].second, weekends);
}

TEST(TimersFile, AFileKeepsItsEncoding) {
    const QString text = "; Будильник и записи\r\n[record1]\r\nfrequency=101.7\r\n"
                         "start=2026-12-24 19:00\r\nduration=01:00\r\nname=Концерт\r\n";
    const QString added =
        "[record2]\r\nfrequency=69.8\r\ntime=07:00\r\ndays=1111100\r\nduration=00:30\r\n";
    const auto cp1251 = [](const QString& s) {
        QByteArray bytes;
        EXPECT_TRUE(CodePage::EncodeWindows1251(s, bytes));
        return bytes;
    };
    const auto utf8 = [](const QString& s) { return s.toUtf8(); };
    const auto utf16 = [](const QString& s) {
        return QByteArray(QStringEncoder(QStringEncoder::Utf16LE).encode(s));
    };
    const struct {
        const char* Name;
        QByteArray Mark;
        std::function<QByteArray(const QString&)> Encode;
    } cases[] = {
        {"Windows-1251", "", cp1251},
        {"UTF-8", "\xEF\xBB\xBF", utf8},
        {"UTF-16", "\xFF\xFE", utf16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QTemporaryDir dir;
        const QString path = WriteTimers(dir, c.Mark + c.Encode(text));
        EXPECT_EQ(AddRecording(path, MorningNews), "record2");
        EXPECT_EQ(ReadFileBytes(path), c.Mark + c.Encode(text + added));
        const TTimersFile timers = ReadTimersFile(path);
        EXPECT_EQ(timers.Recordings.size(), 2u);
        EXPECT_TRUE(timers.Problems.isEmpty()) << timers.Problems.join('\n').toStdString();
    }
}

// One past the highest number, so that a removed recording's name is not handed to a new one
// while a later recording is still in the file.
TEST(TimersFile, ANewRecordingTakesTheNextNumber) {
    struct {
        QByteArray Sections;
        const char* Added;
    } cases[] = {
        {"", "record1"},
        {"[record1]\r\n[record3]\r\n", "record4"},
        {"[RECORD2]\r\n[record]\r\n[records9]\r\n[record 7]\r\n", "record3"},
        {"[record007]\r\n", "record8"},
        {"[record18446744073709551615]\r\n[record0]\r\n", "record1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Sections.toStdString());
        QTemporaryDir dir;
        const QString path = WriteTimers(dir, c.Sections);
        EXPECT_EQ(AddRecording(path, MorningNews), c.Added);
        EXPECT_EQ(ReadTimersFile(path).Recordings.back().first, c.Added);
    }
}

TEST(TimersFile, AMissingFileReadsEmptyAndTheFirstWriteCreatesIt) {
    for (const auto& writer : Writers) {
        SCOPED_TRACE(writer.Name);
        QTemporaryDir dir;
        const QString path = TimersPath(dir);
        const TTimersFile empty = ReadTimersFile(path);
        EXPECT_EQ(empty.SleepMinutes, 0);
        EXPECT_FALSE(empty.WakeUp);
        EXPECT_TRUE(empty.Recordings.empty());
        EXPECT_TRUE(empty.Problems.isEmpty());
        RemoveRecording(path, "record1");
        EXPECT_FALSE(QFileInfo::exists(path));
        writer.Write(path);
        EXPECT_EQ(ReadFileBytes(path), writer.Created);
    }
}

TEST(TimersFile, ReplacingARecordingThatIsGoneIsRefused) {
    QTemporaryDir dir;
    const QString path = WriteTimers(dir, Example);
    for (const char* section : {"record2", "wakeup"}) {
        try {
            ReplaceRecording(path, section, MorningNews);
            ADD_FAILURE() << section << " should have been refused";
        } catch (const EIniFileError& error) {
            EXPECT_EQ(error.Message(),
                      "Unable to write to " + path + ": there is no [" + section + "]");
        }
    }
    RemoveRecording(path, "wakeup"); // not a recording: stays
    EXPECT_EQ(ReadFileBytes(path), Example);
}

TEST(TimersFile, AFileThatCannotBeReadIsReportedAndNeverRewritten) {
    QTemporaryDir dir;
    const QString path = WriteTimers(dir, Example);
    ASSERT_TRUE(QFile(path).resize(TIniFile::MaxFileSize + 1)); // sparse: no time, no disk
    EXPECT_EQ(ReadTimersFile(path).Problems, QStringList{"orvalen-timers.ini: larger than 64 MiB"});
    const QString refusal = "Unable to write to " + path + ": larger than 64 MiB";
    std::vector<std::function<void()>> writes = {
        [&path] { ReplaceRecording(path, "record1", MorningNews); },
        [&path] { RemoveRecording(path, "record1"); },
    };
    for (const auto& writer : Writers)
        writes.push_back([&path, &writer] { writer.Write(path); });
    for (const auto& write : writes) {
        try {
            write();
            ADD_FAILURE() << "the write should have been refused";
        } catch (const EIniFileError& error) {
            EXPECT_EQ(error.Message(), refusal);
        }
    }
    EXPECT_EQ(QFileInfo(path).size(), TIniFile::MaxFileSize + 1);
}
