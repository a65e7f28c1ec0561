#include "windows/UnitTimers.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimeEdit>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace {

TRecordingTimer Weekly(int tuneValue, std::array<bool, 7> days, QTime time, int seconds) {
    TRecordingTimer recording;
    recording.Station = {tuneValue, true};
    recording.Schedule.Time = time;
    recording.Schedule.Days = days;
    recording.DurationSeconds = seconds;
    return recording;
}

constexpr std::array<bool, 7> MonWedFri{true, false, true, false, true, false, false};

// The main window and the timers file as the window sees them: it keeps what it is told.
class TFakeHost : public TTimersHost {
public:
    std::vector<TTimersStation> FStations{{1017, true, "Новости"}, {698, false, "Ретро"}};
    int FSleepMinutes = 0;
    std::vector<int> SleepCalls;
    TTimersContents Contents;
    std::vector<TWakeUp> WakeUpWrites;
    int RecordWrites = 0;
    bool FAutostart = false;
    bool FailAutostart = false;
    bool FailWrites = false;
    QStringList Errors;

    std::vector<TTimersStation> Stations() const override { return FStations; }
    QDateTime Now() const override {
        return QDateTime(QDate(2026, 12, 7), QTime(9, 0), QTimeZone::utc());
    }
    QTimeZone Zone() const override { return QTimeZone::utc(); }
    int SleepMinutes() const override { return FSleepMinutes; }
    qint64 SleepRemainingSeconds() const override { return FSleepMinutes * 60; }
    void SetSleepMinutes(int minutes) override {
        SleepCalls.push_back(minutes);
        FSleepMinutes = minutes;
    }
    TTimersContents ReadTimers() const override { return Contents; }
    void WriteWakeUp(const TWakeUp& wakeUp) override {
        FailIfTold();
        WakeUpWrites.push_back(wakeUp);
    }
    QString AddRecording(const TRecordingTimer& recording) override {
        FailIfTold();
        ++RecordWrites;
        const QString section = QStringLiteral("record%1").arg(Contents.Recordings.size() + 1);
        Contents.Recordings.emplace_back(section, recording);
        return section;
    }
    void ReplaceRecording(const QString& section, const TRecordingTimer& recording) override {
        ++RecordWrites;
        for (auto& [name, entry] : Contents.Recordings)
            if (name == section)
                entry = recording;
    }
    void RemoveRecording(const QString&) override { ++RecordWrites; }
    bool AutostartEnabled() const override { return FAutostart; }
    bool SetAutostart(bool enabled, QString& error) override {
        if (FailAutostart) {
            error = "Нет доступа к ~/.config/autostart";
            return false;
        }
        FAutostart = enabled;
        return true;
    }
    void ShowError(const QString& message) override { Errors << message; }

private:
    void FailIfTold() const {
        if (FailWrites)
            throw std::runtime_error("Unable to write to /nowhere/orvalen-timers.ini");
    }
};

class TimersWindow : public ::testing::Test {
protected:
    TimersWindow() {
        auto host = std::make_unique<TFakeHost>();
        Host = host.get();
        Host->Contents.Recordings.emplace_back("record1",
                                               Weekly(1017, MonWedFri, QTime(19, 0), 3600));
        Form = std::make_unique<TFormTimers>(std::move(host));
        Form->Refresh();
    }

    TFakeHost* Host;
    std::unique_ptr<TFormTimers> Form;
};

TEST_F(TimersWindow, SleepChoiceStartsTheTimerAtOnce) {
    Form->ComboBoxSleep->setCurrentIndex(Form->ComboBoxSleep->findText("30 мин"));
    EXPECT_EQ(Host->SleepCalls, std::vector<int>{30});
    EXPECT_FALSE(Form->SpinSleepMinutes->isEnabled());

    // The minutes do not restart the 30 minutes that run; "Другое…" takes them.
    Form->SpinSleepMinutes->setValue(7);
    EXPECT_EQ(Host->SleepCalls, std::vector<int>{30});
    Form->ComboBoxSleep->setCurrentIndex(Form->ComboBoxSleep->findText("Другое…"));
    EXPECT_TRUE(Form->SpinSleepMinutes->isEnabled());
    EXPECT_EQ(Host->SleepCalls, (std::vector<int>{30, 7}));
    Form->SpinSleepMinutes->setValue(8);
    EXPECT_EQ(Host->SleepCalls.back(), 8);

    // Filling the window from the host is not a choice of the user's.
    const std::size_t calls = Host->SleepCalls.size();
    Host->FSleepMinutes = 45;
    Form->Refresh();
    EXPECT_EQ(Form->ComboBoxSleep->currentText(), "45 мин");
    EXPECT_EQ(Form->LabelSleepLeft->text(), "Осталось 45 мин");
    EXPECT_EQ(Host->SleepCalls.size(), calls);
}

TEST_F(TimersWindow, WakeUpIsWrittenAsChosen) {
    Form->CheckWakeUp->setChecked(true);
    Form->EditWakeTime->setTime(QTime(6, 45));
    for (QCheckBox* day : Form->CheckWakeDays)
        day->setChecked(false);
    Form->CheckWakeDays[5]->setChecked(true);
    Form->ComboBoxWakeStation->setCurrentIndex(1); // 69.8 МГц — Ретро
    Form->SpinWakeVolume->setValue(35);
    Form->ButtonSaveWakeUp->click();

    ASSERT_EQ(Host->WakeUpWrites.size(), 1u);
    const TWakeUp& written = Host->WakeUpWrites[0];
    EXPECT_TRUE(written.Enabled);
    EXPECT_EQ(written.Schedule.Time, QTime(6, 45));
    EXPECT_FALSE(written.Schedule.Date.isValid());
    EXPECT_EQ(written.Schedule.Days,
              (std::array<bool, 7>{false, false, false, false, false, true, false}));
    EXPECT_EQ(written.Station, (TTimerStation{698, false}));
    EXPECT_EQ(written.Volume, 35);
}

TEST_F(TimersWindow, TypedFrequencyIsSavedOnlyWithinTheBands) {
    Form->ComboBoxWakeStation->setCurrentIndex(Form->ComboBoxWakeStation->count() - 1);
    ASSERT_TRUE(Form->EditWakeFrequency->isEnabled());

    Form->EditWakeFrequency->setText("80.0");
    Form->ButtonSaveWakeUp->click();
    EXPECT_TRUE(Host->WakeUpWrites.empty());
    EXPECT_TRUE(Form->EditWakeFrequency->property("invalid").toBool());

    Form->EditWakeFrequency->setText("88.3");
    Form->ButtonSaveWakeUp->click();
    ASSERT_EQ(Host->WakeUpWrites.size(), 1u);
    EXPECT_EQ(Host->WakeUpWrites[0].Station, (TTimerStation{883, true}));
    EXPECT_FALSE(Form->EditWakeFrequency->property("invalid").toBool());
}

// Adds a weekly recording through the editor, as the user would fill it in.
void AddThroughEditor(TFormTimers& form, int dayIndex, QTime time, QTime duration) {
    form.RunEditor = [&](TRecordingEditor& editor) {
        editor.RadioDays->setChecked(true);
        for (QCheckBox* day : editor.CheckDays)
            day->setChecked(false);
        editor.CheckDays[std::size_t(dayIndex)]->setChecked(true);
        editor.EditTime->setTime(time);
        editor.EditDuration->setTime(duration);
        editor.ButtonOk->click();
        return editor.result();
    };
    form.ButtonAdd->click();
}

TEST_F(TimersWindow, OverlappingRecordingIsRefusedNamingTheOther) {
    // Wednesday 19:30 runs into the Mon/Wed/Fri 19:00 hour.
    AddThroughEditor(*Form, 2, QTime(19, 30), QTime(0, 30));
    EXPECT_EQ(Host->RecordWrites, 0);
    ASSERT_EQ(Host->Errors.size(), 1);
    EXPECT_EQ(Host->Errors[0], "Пересекается с записью: 101.7 МГц, Пн Ср Пт 19:00");
    EXPECT_EQ(Form->TableRecordings->rowCount(), 1);

    // Straight after it ends is free.
    AddThroughEditor(*Form, 2, QTime(20, 0), QTime(0, 30));
    EXPECT_EQ(Host->RecordWrites, 1);
    ASSERT_EQ(Form->TableRecordings->rowCount(), 2);
    EXPECT_EQ(Form->TableRecordings->item(1, 1)->text(), "Ср 20:00");
    EXPECT_EQ(Form->TableRecordings->item(1, 2)->text(), "00:30");
}

TEST_F(TimersWindow, WeeklyEntryOnNoDayIsRefused) {
    Form->CheckWakeUp->setChecked(true);
    for (QCheckBox* day : Form->CheckWakeDays)
        day->setChecked(false);
    Form->ButtonSaveWakeUp->click();
    EXPECT_TRUE(Host->WakeUpWrites.empty());

    Form->RunEditor = [](TRecordingEditor& editor) {
        editor.RadioDays->setChecked(true);
        for (QCheckBox* day : editor.CheckDays)
            day->setChecked(false);
        editor.ButtonOk->click();
        return editor.result();
    };
    Form->ButtonAdd->click();
    EXPECT_EQ(Host->RecordWrites, 0);
    EXPECT_EQ(Host->Errors.size(), 2);
}

TEST_F(TimersWindow, FailedWriteIsReportedAndTheEditorStaysOpen) {
    Host->FailWrites = true;
    Form->ButtonSaveWakeUp->click();
    int result = -1;
    Form->RunEditor = [&](TRecordingEditor& editor) {
        editor.RadioDate->setChecked(true);
        editor.EditDateTime->setDateTime(QDateTime(QDate(2026, 12, 24), QTime(19, 0), Qt::UTC));
        editor.ButtonOk->click();
        return result = editor.result();
    };
    Form->ButtonAdd->click();
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(Host->Errors, QStringList(2, "Unable to write to /nowhere/orvalen-timers.ini"));
    EXPECT_EQ(Form->TableRecordings->rowCount(), 1);
}

TEST(TimersStartText, ShowsTheDateOrTheDays) {
    const struct {
        QDate Date;
        std::array<bool, 7> Days;
        QTime Time;
        const char* Expected;
    } cases[] = {
        {QDate(2026, 12, 24), {}, QTime(19, 0), "24.12.2026 19:00"},
        {QDate(), MonWedFri, QTime(19, 0), "Пн Ср Пт 19:00"},
        {QDate(),
         {false, false, false, false, false, false, true},
         QTime(6, 30, 15),
         "Вс 06:30:15"},
    };
    for (const auto& test : cases) {
        TTimerSchedule schedule;
        schedule.Date = test.Date;
        schedule.Days = test.Days;
        schedule.Time = test.Time;
        EXPECT_EQ(TFormTimers::StartText(schedule), test.Expected);
    }
}

TEST_F(TimersWindow, ChangedRecordingIsNotCheckedAgainstItself) {
    Form->TableRecordings->setCurrentCell(0, 0);
    Form->RunEditor = [](TRecordingEditor& editor) {
        editor.EditDuration->setTime(QTime(2, 0));
        editor.ButtonOk->click();
        return editor.result();
    };
    Form->ButtonChange->click();
    EXPECT_TRUE(Host->Errors.isEmpty());
    EXPECT_EQ(Host->RecordWrites, 1);
    EXPECT_EQ(Host->Contents.Recordings[0].second.DurationSeconds, 7200);
}

TEST_F(TimersWindow, ShowingFillsTheWindowAfresh) {
    Host->FAutostart = true;
    Host->Contents.WakeUp = TWakeUp{true, {QDate(), QTime(7, 30), MonWedFri}, {883, true}, 60};
    Form->show();
    EXPECT_TRUE(Form->CheckAutostart->isChecked());
    EXPECT_EQ(Form->TableRecordings->item(0, 0)->text(), "101.7 МГц — Новости");
    // A station not in the list is shown as its frequency.
    EXPECT_EQ(Form->ComboBoxWakeStation->currentText(), "Частота…");
    EXPECT_EQ(Form->EditWakeFrequency->text(), "88.3");
    EXPECT_EQ(Form->SpinWakeVolume->value(), 60);
    Form->hide();
}

TEST_F(TimersWindow, AutostartBoxGoesBackWhenItCannotBeChanged) {
    Host->FailAutostart = true;
    Form->CheckAutostart->click();
    EXPECT_FALSE(Form->CheckAutostart->isChecked());
    EXPECT_EQ(Host->Errors, QStringList{"Нет доступа к ~/.config/autostart"});

    Host->FailAutostart = false;
    Form->CheckAutostart->click();
    EXPECT_TRUE(Form->CheckAutostart->isChecked());
    EXPECT_TRUE(Host->FAutostart);
}

// The line edit inside a spin box, the corner button of a table: named by their owners.
bool PartOfAnother(const QWidget* widget) {
    for (const QWidget* owner = widget->parentWidget(); owner; owner = owner->parentWidget())
        if (qobject_cast<const QAbstractSpinBox*>(owner) || qobject_cast<const QComboBox*>(owner) ||
            qobject_cast<const QAbstractItemView*>(owner))
            return true;
    return false;
}

TEST_F(TimersWindow, EveryInputControlIsNamed) {
    std::vector<QWidget*> inputs;
    for (QWidget* widget : Form->findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) ||
            qobject_cast<QLineEdit*>(widget) || qobject_cast<QAbstractSpinBox*>(widget) ||
            qobject_cast<QTableWidget*>(widget))
            inputs.push_back(widget);
    }
    TRecordingEditor editor(Host->FStations, nullptr);
    for (QWidget* widget : editor.findChildren<QWidget*>()) {
        if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget) ||
            qobject_cast<QComboBox*>(widget) || qobject_cast<QLineEdit*>(widget) ||
            qobject_cast<QAbstractSpinBox*>(widget))
            inputs.push_back(widget);
    }
    for (QWidget* widget : inputs) {
        if (PartOfAnother(widget))
            continue;
        const bool named = !widget->accessibleName().isEmpty() ||
                           (qobject_cast<QPushButton*>(widget) &&
                            !static_cast<QPushButton*>(widget)->text().isEmpty());
        EXPECT_TRUE(named) << widget->metaObject()->className() << " "
                           << widget->objectName().toStdString();
    }
}

} // namespace
