#include "windows/UnitAbout.h"
#include "windows/UnitLogs.h"

#include <QApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

namespace {

void Click(QWidget* target) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), target->mapToGlobal(QPointF(2, 2)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

void Press(QWidget* target, Qt::Key key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

} // namespace

TEST(FormLogs, WritersAppendOnlyWhileTheWindowIsVisible) {
    TFormLogs logs;
    FormLogs = &logs;
    EXPECT_EQ(logs.Lines(), QStringList{"Memo1"});
    EXPECT_EQ(logs.Memo1->geometry(), QRect(8, 8, 425, 265));
    EXPECT_EQ(logs.windowTitle(), QString::fromUtf8("Лог"));

    WriteLog("hidden");
    EXPECT_FALSE(LogWanted());
    logs.show();
    EXPECT_TRUE(LogWanted());
    WriteLog("Device connected");
    logs.hide();
    WriteLog("lost");
    logs.show();
    WriteLog("RD 00  08 ");
    EXPECT_EQ(logs.Lines(), (QStringList{"Memo1", "Device connected", "RD 00  08 "}));

    // Memo1 follows the window's size.
    logs.resize(538, 382);
    EXPECT_EQ(logs.Memo1->geometry(), QRect(8, 8, 525, 365));
    FormLogs = nullptr;
    WriteLog("no window"); // must not crash
}

TEST(FormLogs, KeepsOnlyTheLastLinesSoALongRunDoesNotGrow) {
    TFormLogs logs;
    for (int i = 1; i <= TFormLogs::MaxLogLines + 10; ++i)
        logs.AddLine(QString::number(i));
    const QStringList lines = logs.Lines();
    ASSERT_EQ(lines.size(), TFormLogs::MaxLogLines);
    EXPECT_EQ(lines.front(), "11");
    EXPECT_EQ(lines.back(), QString::number(TFormLogs::MaxLogLines + 10));
}

TEST(FormLogs, VerboseWritersBuildLinesEvenWhenHidden) {
    SetLogVerbose(true);
    EXPECT_TRUE(LogWanted());
    testing::internal::CaptureStderr();
    WriteLog("Device connected");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Device connected\n");
    SetLogVerbose(false);
}

TEST(FormAbout, ShowsVersionAndClosesOnAnyClickOrKey) {
    const QString program = ORVALEN_BINARY_DIR "/orvalen";
    TFormAbout about(nullptr, QFileInfo::exists(program) ? program : QString());
    EXPECT_TRUE(about.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(about.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(about.size(), QSize(330, 226));
    EXPECT_EQ(about.Image1->pixmap().size(), QSize(110, 124));
    EXPECT_TRUE(about.LabelVersion->text().startsWith(QString::fromUtf8("Версия приложения: ")));
    if (QFileInfo::exists(program)) {
        EXPECT_EQ(about.LabelVersion->text(), QString::fromUtf8("Версия приложения: 1.0.0.0"));
    }

    for (QWidget* target :
         {static_cast<QWidget*>(&about), static_cast<QWidget*>(about.Label1),
          static_cast<QWidget*>(about.Image1), static_cast<QWidget*>(about.GroupBox1)}) {
        about.show();
        Click(target);
        EXPECT_FALSE(about.isVisible());
    }
    for (Qt::Key key : {Qt::Key_Shift, Qt::Key_Control, Qt::Key_A, Qt::Key_Escape}) {
        about.show();
        Press(&about, key);
        EXPECT_FALSE(about.isVisible()) << key;
    }
}
