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

TEST(RecordingNames, ALongStationNameIsCutToFitTheFileSystemBetweenCharacters) {
    const QDateTime start(QDate(2026, 12, 10), QTime(14, 5, 0));
    const QString tail = QStringLiteral(" 101.7 2026-12-10 14-05-00.flac");
    const QString decomposedShortI = QStringLiteral("и\u0306"); // "й" as a letter and a breve
    const QString cases[] = {
        QString(200, QChar(u'Ж')),            // 2 bytes a letter
        QString(300, QChar(u'a')),            // 1 byte
        QString(100, QChar(0x4E2D)),          // 3 bytes
        QString::fromUtf8("😀").repeated(100), // 4 bytes, two UTF-16 units
        decomposedShortI.repeated(100),       // 4 bytes, two characters that belong together
        // Cut after a space, the space goes too.
        QStringLiteral("a ").repeated(200),
        QStringLiteral("Ж ").repeated(100),
    };
    QTemporaryDir dir;
    for (const QString& station : cases) {
        SCOPED_TRACE(station.left(4).toStdString());
        const QString name = RecordingFileName(station, "101.7", start);
        ASSERT_TRUE(name.endsWith(tail)) << name.toStdString();
        const QString kept = name.chopped(tail.size());
        // A start of the name, ending between whole characters, and as long as fits.
        EXPECT_FALSE(kept.isEmpty());
        ASSERT_LT(kept.size(), station.size());
        EXPECT_TRUE(station.startsWith(kept));
        EXPECT_FALSE(kept.back().isHighSurrogate());
        EXPECT_FALSE(station.at(kept.size()).isMark());
        EXPECT_FALSE(kept.back().isSpace());
        EXPECT_GT(name.toUtf8().size(), 240);
        // The file can be made, and so can the next of the same name and second.
        for (int n = 0; n < 2; ++n) {
            QFile file(UniqueRecordingPath(dir.path(), name));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << file.errorString().toStdString();
        }
    }
}
