// The station list inside the main window: the operations as the user starts them, with the
// dialog and the message boxes answered as a user would.
#include "MainFormFixture.h"
#include "ModalAnswers.h"
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"
#include "stations/StationListBox.h"
#include "stations/UnitStation.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <deque>
#include <functional>
#include <sys/stat.h>

namespace {

const QString Marker = QString(QChar(0x1F));

class StationsMainFormTest : public MainFormTest {
protected:
    void TearDown() override {
        EXPECT_TRUE(Answers.AllUsed()) << "a window the test expected never opened";
        EXPECT_EQ(Answers.Unexpected, 0) << "a window opened that the test did not expect";
    }

    QString StationPath() const { return FDir.filePath("orvalen.lst"); }

    void WriteStations(const QByteArray& bytes) {
        QFile file(StationPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray ReadStations() const {
        QFile file(StationPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    TMainForm& StartWith(const QByteArray& stations) {
        WriteStations(stations);
        TMainForm& form = Start();
        EXPECT_EQ(form.FStationPath, StationPath());
        return form;
    }

    QStringList Lines() const { return FForm->ListBoxStations->Lines(); }

    void Tune(int position) { FForm->TrackBarFMTune->SetPosition(position); }

    void Select(int index) { FForm->ListBoxStations->SetItemIndex(index); }

    void Press(int key, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(FForm->ListBoxStations, &press);
    }

    TModalAnswers Answers;
};

} // namespace

TEST_F(StationsMainFormTest, ControlsOfTheListGroup) {
    TMainForm& form = Start();
    EXPECT_EQ(form.ListBoxStations->parentWidget(), static_cast<QWidget*>(form.GroupBoxList));
    EXPECT_EQ(form.ListBoxStations->geometry(), QRect(8, 16, 297, 238));
    struct Button {
        QToolButton* button;
        int top;
        const char* hint;
    } buttons[] = {
        {form.SpeedButtonAddStation, 16, "Добавить станцию"},
        {form.SpeedButtonEditStation, 47, "Править станцию"},
        {form.SpeedButtonDelStation, 79, "Удалить станцию"},
        {form.SpeedButtonSortList, 223, "Сортировать список"},
    };
    for (const Button& b : buttons) {
        EXPECT_EQ(b.button->parentWidget(), static_cast<QWidget*>(form.GroupBoxList));
        EXPECT_EQ(b.button->geometry(), QRect(315, b.top, 30, 28));
        EXPECT_EQ(b.button->toolTip(), QString(b.hint));
        EXPECT_TRUE(b.button->autoRaise());
    }
    QStringList items;
    for (QAction* action : form.PopupMenuStationsList->actions())
        items.append(action->isSeparator() ? "-" : action->text());
    // The documented items, then the band scan's.
    EXPECT_EQ(items, QStringList({"Добавить", "Править", "Удалить", "-", "Сортировать", "-",
                                  "Избранное", "-", "Сканировать диапазон"}));
    EXPECT_EQ(form.ListBoxStations->contextMenuPolicy(), Qt::CustomContextMenu);
}

TEST_F(StationsMainFormTest, AddingWhileTunedWritesTheFileAndShowsTheNameAtOnce) {
    TMainForm& form = Start();
    Tune(137);
    ASSERT_EQ(form.FScreen->TuneValue(), 1017);
    form.FScreen->SetRDSString("RDS TEXT");

    Answers.Dialog("101.7", "Новости");
    form.SpeedButtonAddStation->click();
    EXPECT_EQ(Answers.Prefilled, QStringList({"101.7|"}));
    EXPECT_EQ(Lines(), QStringList({"101.7=Новости"}));
    EXPECT_EQ(ReadStations(), QByteArray("101.7=\xcd\xee\xe2\xee\xf1\xf2\xe8\r\n"));
    EXPECT_EQ(form.FScreen->Text(), "Новости");
    EXPECT_EQ(form.FScreen->RDSString(), "");

    // The same frequency again: refused, nothing changes.
    Answers.Dialog("101.7", "Другая");
    Answers.Message();
    form.NListAdd->trigger();
    EXPECT_EQ(Answers.Messages,
              QStringList({"Предупреждение|Станция с такой частотой уже есть в списке"}));
    EXPECT_EQ(Answers.Icons, std::vector<QMessageBox::Icon>{QMessageBox::Critical});
    EXPECT_EQ(Lines(), QStringList({"101.7=Новости"}));
    EXPECT_EQ(ReadStations(), QByteArray("101.7=\xcd\xee\xe2\xee\xf1\xf2\xe8\r\n"));

    // Entered frequencies are normalised; Cancel adds nothing.
    Answers.Dialog("99", "a");
    Answers.Dialog(" 101,75 ", "b");
    Answers.Message(); // 101,75 is 101.7 again
    Answers.Dialog("abc", "c");
    Answers.Dialog("72.1", "never", false);
    for (int i = 0; i < 4; ++i)
        form.SpeedButtonAddStationClick();
    EXPECT_EQ(Lines(), QStringList({"101.7=Новости", "99.0=a", "abc.0=c"}));
    EXPECT_EQ(Answers.Messages.size(), 2);
}

TEST_F(StationsMainFormTest, AddPrefillsTheUkvFrequency) {
    WriteSettings("[main]\nfmband=0\nukvfrequency=81\n");
    TMainForm& form = Start();
    Answers.Dialog("74.0", "", false);
    form.SpeedButtonAddStationClick();
    EXPECT_EQ(Answers.Prefilled, QStringList({"74.0|"}));
    EXPECT_TRUE(Lines().isEmpty());
}

TEST_F(StationsMainFormTest, EditKeepsTheMarkAndAllowsADuplicate) {
    TMainForm& form = StartWith("88.0=" + Marker.toUtf8() + "a\r\n101.7=b\r\n");
    form.SpeedButtonEditStationClick(); // nothing selected: no dialog at all
    Select(0);
    Tune(137);
    Answers.Dialog("101,7", Marker + "first");
    form.SpeedButtonEditStation->click();
    EXPECT_EQ(Answers.Prefilled, QStringList({"88.0|" + Marker + "a"}));
    EXPECT_EQ(Lines(), QStringList({"101.7=" + Marker + "first", "101.7=b"}));
    EXPECT_EQ(ReadStations(), QByteArray("101.7=\x1f"
                                         "first\r\n101.7=b\r\n"));
    EXPECT_EQ(form.FScreen->Text(), "first") << "the first of the two, without its marker";
}

TEST_F(StationsMainFormTest, DeleteNeedsASelectionAndAConfirmation) {
    TMainForm& form = StartWith("88.0=a\r\n101.7=b\r\n");
    Answers.Message();
    form.SpeedButtonDelStation->click();
    Select(1);
    Answers.Message(QMessageBox::Cancel);
    form.NListDelete->trigger();
    EXPECT_EQ(Lines(), QStringList({"88.0=a", "101.7=b"}));
    Answers.Message(QMessageBox::Ok);
    form.SpeedButtonDelStationClick();
    EXPECT_EQ(Answers.Messages, QStringList({"Предупреждение|Необходимо выбрать запись",
                                             "Подтверждение|Станция будет удалена из списка",
                                             "Подтверждение|Станция будет удалена из списка"}));
    EXPECT_EQ(Answers.Icons, std::vector<QMessageBox::Icon>(3, QMessageBox::Information));
    EXPECT_EQ(Lines(), QStringList({"88.0=a"}));
    EXPECT_EQ(ReadStations(), QByteArray("88.0=a\r\n"));
    EXPECT_EQ(form.ListBoxStations->ItemIndex(), -1);
}

TEST_F(StationsMainFormTest, SortOrdersByFrequencyAndWrites) {
    TMainForm& form = StartWith("101.7=a\n88.0=b\r65.9=c\r\n104.2=d");
    form.NListSort->trigger();
    EXPECT_EQ(Lines(), QStringList({"65.9=c", "88.0=b", "101.7=a", "104.2=d"}));
    EXPECT_EQ(ReadStations(), QByteArray("65.9=c\r\n88.0=b\r\n101.7=a\r\n104.2=d\r\n"));
}

TEST_F(StationsMainFormTest, TuningClampsAndSwitchesTheBand) {
    TMainForm& form =
        StartWith("75.0=a\r\n60.0=b\r\n110.0=c\r\n74.0=d\r\nno equals\r\n101.7=e\r\n");
    struct Case {
        int row;
        bool fm;
        int position;
        int tuneValue;
    } cases[] = {
        {0, true, 0, 880},   {1, false, 0, 659}, {2, true, 200, 1080},
        {3, false, 81, 740}, {4, true, 0, 880},  {5, true, 137, 1017},
    };
    for (const Case& c : cases) {
        Select(c.row);
        form.ListBoxStationsDblClick();
        EXPECT_EQ(form.FBandFM, c.fm) << "row " << c.row;
        EXPECT_EQ(form.SpeedButtonFMBand->isChecked(), !c.fm) << "row " << c.row;
        EXPECT_EQ(form.TrackBarFMTune->Max(), c.fm ? 200 : 81) << "row " << c.row;
        EXPECT_EQ(form.TrackBarFMTune->Position(), c.position) << "row " << c.row;
        EXPECT_EQ(form.FScreen->TuneValue(), c.tuneValue) << "row " << c.row;
        EXPECT_EQ(c.fm ? form.FFMPosition : form.FUKVPosition, c.position) << "row " << c.row;
    }
    EXPECT_EQ(form.FScreen->Text(), "e");
}

TEST_F(StationsMainFormTest, SpaceEnterAndDoubleClickTuneOnlyASelectedStation) {
    TMainForm& form = StartWith("65.9=u\r\n101.7=f\r\n");
    form.ListBoxStations->show();
    Press(Qt::Key_Space, " ");
    Press(Qt::Key_Return, "\r");
    EXPECT_EQ(form.FScreen->TuneValue(), 880) << "nothing selected, nothing tuned";

    Select(0);
    Press(Qt::Key_Space, " ");
    EXPECT_EQ(form.FScreen->TuneValue(), 659);
    Select(1);
    Press(Qt::Key_Return, "\r");
    EXPECT_EQ(form.FScreen->TuneValue(), 1017);
    Select(0);
    const QRect row = form.ListBoxStations->visualRect(form.ListBoxStations->model()->index(0, 0));
    QMouseEvent dbl(QEvent::MouseButtonDblClick, row.center(), row.center(), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.ListBoxStations->viewport(), &dbl);
    EXPECT_EQ(form.FScreen->TuneValue(), 659);
    EXPECT_EQ(form.FScreen->Text(), "u");
}

TEST_F(StationsMainFormTest, FavouriteToggleShowsNoMarkerAndDoesNotWrite) {
    TMainForm& form = StartWith("88.0=Орвален\r\n91.2=\r\n");
    const QByteArray before = ReadStations();
    form.NListMarkedClick(); // nothing selected
    EXPECT_EQ(Lines(), QStringList({"88.0=Орвален", "91.2="}));

    Select(0);
    form.NListMarked->trigger();
    EXPECT_EQ(Lines()[0], "88.0=" + Marker + "Орвален");
    form.ShowStationName(880);
    EXPECT_EQ(form.FScreen->Text(), "Орвален");
    form.NListMarkedClick();
    EXPECT_EQ(Lines()[0], "88.0=Орвален");

    Select(1);
    form.NListMarkedClick();
    EXPECT_EQ(Lines()[1], "91.2=" + Marker);
    form.NListMarkedClick();
    EXPECT_EQ(Lines()[1], "91.2=");
    EXPECT_EQ(ReadStations(), before);
}

TEST_F(StationsMainFormTest, StationNameLookup) {
    TMainForm& form = StartWith("no equals\r\n101.7=one\r\n101.7=two\r\n88.0=\r\n");
    form.FScreen->SetText("stale");
    form.FScreen->SetRDSString("stale");
    form.ShowStationName(1017);
    EXPECT_EQ(form.FScreen->Text(), "one");
    EXPECT_EQ(form.FScreen->RDSString(), "");
    form.ShowStationName(999);
    EXPECT_EQ(form.FScreen->Text(), "");
    form.FScreen->SetText("stale");
    form.ShowStationName(880);
    EXPECT_EQ(form.FScreen->Text(), "");
}

TEST_F(StationsMainFormTest, OriginalFileSurvivesAStartAndACloseByteForByte) {
    QFile fixture(ORVALEN_SOURCE_DIR "/tests/stations/data/stations-cp1251.lst");
    ASSERT_TRUE(fixture.open(QIODevice::ReadOnly));
    const QByteArray original = fixture.readAll();
    TMainForm& form = StartWith(original);
    EXPECT_EQ(Lines()[0], "101.7=Новости");
    EXPECT_TRUE(form.FormCloseQuery());
    EXPECT_EQ(ReadStations(), original);
}

TEST_F(StationsMainFormTest, NameBeyondTheCodePageSurvivesARestart) {
    {
        TMainForm& form = Start();
        Answers.Dialog("95.5", "Καφέ €");
        form.SpeedButtonAddStationClick();
        EXPECT_TRUE(form.FormCloseQuery());
        FForm.reset();
    }
    TMainForm& again = Start();
    EXPECT_EQ(again.ListBoxStations->Lines(), QStringList({"95.5=Καφέ €"}));
}

TEST_F(StationsMainFormTest, AListThatCannotBeReadIsToldAndNeverWrittenOver) {
    // A FIFO stands for any list that is there and cannot be read (for root, who reads any
    // file, the test's only way): its stations would be lost to the first write.
    ASSERT_EQ(::mkfifo(QFile::encodeName(StationPath()).constData(), 0600), 0);
    testing::internal::CaptureStderr();
    TMainForm& form = Start();
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find("cannot be read (not a regular file)"), std::string::npos) << told;
    EXPECT_TRUE(Lines().isEmpty());

    Answers.Dialog("101.7", "a");
    Answers.Message();
    form.SpeedButtonAddStationClick();
    ASSERT_EQ(Answers.Messages.size(), 1);
    EXPECT_EQ(Answers.Messages[0], "Orvalen|Cannot create file \"" + StationPath() +
                                       "\". The list there cannot be read (not a regular file) "
                                       "and is left as it is.");
    Answers.Message();
    form.NListSort->trigger();
    EXPECT_EQ(Lines(), QStringList({"101.7=a"})) << "the change stays on screen";
    EXPECT_TRUE(form.FormCloseQuery()) << "the close leaves it alone";
    EXPECT_TRUE(QFileInfo(StationPath()).isFile() == false && QFileInfo::exists(StationPath()));
}

TEST_F(StationsMainFormTest, FailedWriteIsShownAndTheChangeStays) {
    TMainForm& form = Start();
    form.FStationPath = FDir.filePath("missing/orvalen.lst");
    Answers.Dialog("101.7", "a");
    Answers.Message();
    form.SpeedButtonAddStationClick();
    ASSERT_EQ(Answers.Messages.size(), 1);
    EXPECT_EQ(Answers.Messages[0], "Orvalen|Cannot create file \"" + form.FStationPath +
                                       "\". No such file or directory");
    EXPECT_EQ(Answers.Icons[0], QMessageBox::Critical);
    EXPECT_EQ(Lines(), QStringList({"101.7=a"}));

    Answers.Message();
    EXPECT_FALSE(form.FormCloseQuery()) << "a close that cannot write keeps the window";
    ASSERT_TRUE(QDir(FDir.path()).mkdir("missing"));
    EXPECT_TRUE(form.FormCloseQuery());
    QFile written(form.FStationPath);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("101.7=a\r\n"));
}
