#pragma once

// The timers window ("Таймеры"): the sleep timer, the wake-up and the scheduled recordings,
// plus whether the program starts when the user logs in. It is modeless; every showing (and
// Refresh) fills the controls from the main window afresh. The sleep timer applies as soon as
// it is chosen, the wake-up when "Сохранить" is pressed, a recording when its editor is
// confirmed. Everything here runs on the GUI thread.

#include "timers/TimerEntries.h"

#include <QDateTime>
#include <QDialog>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class QTimeEdit;
class QTimer;

// A station of the station list, as the timers offer it.
struct TTimersStation {
    int TuneValue = 0; // tenths of MHz
    bool FmBand = true;
    QString Name;
};

// The timers file as the window edits it.
struct TTimersContents {
    std::optional<TWakeUp> WakeUp;
    // (section, recording), in file order.
    std::vector<std::pair<QString, TRecordingTimer>> Recordings;
};

// What the window reads and changes of the main window, its timers and the timers file.
// The writers throw a std::exception (with the text for the user) when the file cannot be
// written or the entry is gone; the window reports it through ShowError.
class TTimersHost {
public:
    virtual ~TTimersHost() = default;

    virtual std::vector<TTimersStation> Stations() const = 0;
    virtual QDateTime Now() const = 0;
    virtual QTimeZone Zone() const = 0;

    // The running sleep timer's minutes (0: off) and how long it has left.
    virtual int SleepMinutes() const = 0;
    virtual qint64 SleepRemainingSeconds() const = 0;
    // Starts the sleep timer anew for minutes, or stops it (0).
    virtual void SetSleepMinutes(int minutes) = 0;

    virtual TTimersContents ReadTimers() const = 0;
    virtual void WriteWakeUp(const TWakeUp& wakeUp) = 0;
    // The new recording's section.
    virtual QString AddRecording(const TRecordingTimer& recording) = 0;
    virtual void ReplaceRecording(const QString& section, const TRecordingTimer& recording) = 0;
    virtual void RemoveRecording(const QString& section) = 0;

    virtual bool AutostartEnabled() const = 0;
    // False, with the reason in error, when it could not be changed.
    virtual bool SetAutostart(bool enabled, QString& error) = 0;

    virtual void ShowError(const QString& message) = 0;
};

// A station chosen from the list, or typed in as a frequency after "Частота…".
class TTimerStationPicker {
public:
    // The list gets the stations and "Частота…"; the field is live only while that is chosen.
    void Attach(QComboBox* list, QLineEdit* frequency);

    void SetStations(const std::vector<TTimersStation>& stations);
    // The station's item when the list has it, else "Частота…" with its frequency.
    void Select(const TTimerStation& station);
    // Nothing when the typed frequency is in neither band; the field is then marked.
    std::optional<TTimerStation> Picked() const;
    bool Marked() const;

private:
    void FollowList();
    void SetMarked(bool marked) const;

    QComboBox* FList = nullptr;
    QLineEdit* FFrequency = nullptr;
};

// Adds or changes one scheduled recording; Save decides whether it is taken (the editor then
// closes) or refused (it stays open with the user's entries).
class TRecordingEditor : public QDialog {
    Q_OBJECT
public:
    TRecordingEditor(const std::vector<TTimersStation>& stations, QWidget* owner);

    QComboBox* ComboBoxStation;
    QLineEdit* EditFrequency;
    QRadioButton* RadioDate;
    QDateTimeEdit* EditDateTime;
    QRadioButton* RadioDays;
    QTimeEdit* EditTime;
    std::array<QCheckBox*, 7> CheckDays{};
    QTimeEdit* EditDuration;
    QPushButton* ButtonOk;
    QPushButton* ButtonCancel;

    std::function<bool(const TRecordingTimer& recording)> Save;

    void SetRecording(const TRecordingTimer& recording);
    // The recording the controls describe; nothing (and the user told why) when they do not
    // describe one.
    std::optional<TRecordingTimer> Recording();
    void ButtonOkClick();

    TTimerStationPicker Station;

private:
    void FollowKind();
};

class TFormTimers : public QDialog {
    Q_OBJECT
public:
    explicit TFormTimers(std::unique_ptr<TTimersHost> host, QWidget* owner = nullptr);
    ~TFormTimers() override;

    // Sleep.
    QComboBox* ComboBoxSleep;
    QSpinBox* SpinSleepMinutes;
    QLabel* LabelSleepLeft;
    // Wake-up.
    QCheckBox* CheckWakeUp;
    QTimeEdit* EditWakeTime;
    std::array<QCheckBox*, 7> CheckWakeDays{};
    QComboBox* ComboBoxWakeStation;
    QLineEdit* EditWakeFrequency;
    QSpinBox* SpinWakeVolume;
    QPushButton* ButtonSaveWakeUp;
    // Scheduled recordings.
    QTableWidget* TableRecordings;
    QPushButton* ButtonAdd;
    QPushButton* ButtonChange;
    QPushButton* ButtonRemove;
    QCheckBox* CheckAutostart;

    // Runs a recording editor to its end; exec() unless assigned (tests fill it in instead).
    std::function<int(TRecordingEditor& editor)> RunEditor;

    void Refresh();
    void ButtonSaveWakeUpClick();
    void ButtonAddClick();
    void ButtonChangeClick();
    void ButtonRemoveClick();

    // Adds (empty section) or replaces a recording unless it overlaps another; whether it
    // was written.
    bool SaveRecording(const QString& section, const TRecordingTimer& recording);

    // "Пн Ср Пт 19:00" or "24.12.2026 19:00".
    static QString StartText(const TTimerSchedule& schedule);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void CreateControls();
    void SleepChoiceChanged();
    void RefreshSleepLeft();
    void RefreshWakeUp(const std::optional<TWakeUp>& wakeUp);
    void RefreshRecordings();
    void AutostartClick(bool checked);
    void EditRecording(const QString& section, const TRecordingTimer& recording);
    QString StationCaption(const TTimerStation& station) const;

    std::unique_ptr<TTimersHost> FHost;
    TTimerStationPicker FWakeStation;
    std::vector<TTimersStation> FStations;
    std::vector<std::pair<QString, TRecordingTimer>> FRecordings;
    QTimer* FTick;
};
