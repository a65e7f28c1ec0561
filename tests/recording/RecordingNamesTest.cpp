#include "recording/RecordingNames.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(RecordingNames, TheFileIsNamedByStationFrequencyAndStartTime) {
    const QDateTime start(QDate(2026, 12, 10), QTime(14, 5, 0));
    struct TCase {
        const char* Station;
        const char* Frequency;
        const char* Expected;
    };
    const TCase cases[] = {
        {"Новости", "101.7", "Новости 101.7 2026-12-10 14-05-00.flac"},
        {"", "88.0", "88.0 2026-12-10 14-05-00.flac"},
        {"   ", "65.9", "65.9 2026-12-10 14-05-00.flac"},
        {" NOVOSTI  ", "101.7", "NOVOSTI 101.7 2026-12-10 14-05-00.flac"},
        // A name is one file name: no folder can be reached through it, and no control
        // character ends up in a listing.
        {"AC/DC", "104.2", "AC_DC 104.2 2026-12-10 14-05-00.flac"},
        {"../../etc", "104.2", ".._.._etc 104.2 2026-12-10 14-05-00.flac"},
        {"Tab\there\nnew\x7f", "107.9", "Tab_here_new_ 107.9 2026-12-10 14-05-00.flac"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(RecordingFileName(QString::fromUtf8(c.Station), c.Frequency, start),
                  QString::fromUtf8(c.Expected))
            << c.Station;
    // An RDS name as the tuner sends it: padded with zero bytes, or nothing but them.
    EXPECT_EQ(RecordingFileName(QString::fromLatin1("RETRO\0\0\0", 8), "91.2", start),
              QStringLiteral("RETRO 91.2 2026-12-10 14-05-00.flac"));
    EXPECT_EQ(RecordingFileName(QString(8, QChar(0)), "88.0", start),
              QStringLiteral("88.0 2026-12-10 14-05-00.flac"));
}

TEST(RecordingNames, TheMusicFolderComesFromTheVariableTheUserDirsFileOrHome) {
    const QString home = QStringLiteral("/home/u");
    const QString userDirs = QStringLiteral("# written by xdg-user-dirs-update\n"
                                            "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                            "XDG_MUSIC_DIR=\"$HOME/Музыка\"\n");
    struct TCase {
        QString Variable, UserDirs, Expected;
    };
    const TCase cases[] = {
        {"/data/music", userDirs, "/data/music/Orvalen"},
        {"", userDirs, "/home/u/Музыка/Orvalen"},
        {"relative/path", userDirs, "/home/u/Музыка/Orvalen"},
        {"", "XDG_MUSIC_DIR=\"/srv/My \\\"Music\\\"\"\n", "/srv/My \"Music\"/Orvalen"},
        // The home folder itself switches the entry off.
        {"", "XDG_MUSIC_DIR=\"$HOME/\"\n", "/home/u/Music/Orvalen"},
        {"", "XDG_MUSIC_DIR=\"Music\"\n", "/home/u/Music/Orvalen"},
        {"", "", "/home/u/Music/Orvalen"},
        {"", "XDG_MUSIC_DIR=\"$HOME/a\"\nXDG_MUSIC_DIR=\"$HOME/b\"\n", "/home/u/b/Orvalen"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(RecordingFolderFrom(c.Variable, c.UserDirs, home), c.Expected)
            << c.Variable.toStdString() << " | " << c.UserDirs.toStdString();
}

TEST(RecordingNames, AnEarlierRecordingIsNeverOverwritten) {
    QTemporaryDir dir;
    const QString name = QStringLiteral("88.0 2026-12-10 14-05-00.flac");
    EXPECT_EQ(UniqueRecordingPath(dir.path(), name), dir.filePath(name));
    QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    EXPECT_EQ(UniqueRecordingPath(dir.path(), name),
              dir.filePath(QStringLiteral("88.0 2026-12-10 14-05-00 (2).flac")));
    QFile(dir.filePath(QStringLiteral("88.0 2026-12-10 14-05-00 (2).flac")))
        .open(QIODevice::WriteOnly);
    EXPECT_EQ(UniqueRecordingPath(dir.path(), name),
              dir.filePath(QStringLiteral("88.0 2026-12-10 14-05-00 (3).flac")));
}
