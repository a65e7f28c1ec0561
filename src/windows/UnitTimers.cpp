#include "UnitTimers.h"

#include "controls/WindowFont.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>
#include <iterator>

namespace {

// The sleep choices in minutes; the last item ("Другое…") takes the spin box's value.
constexpr int SleepChoices[] = {0, 15, 30, 45, 60, 90};
constexpr int SleepOther = int(std::size(SleepChoices));

// Marks the frequency field that holds no station; cleared as soon as it is edited.
const char* const InvalidProperty = "invalid";

QStringList DayNames() {
    return {QCoreApplication::translate("TFormTimers", "Пн"),
            QCoreApplication::translate("TFormTimers", "Вт"),
            QCoreApplication::translate("TFormTimers", "Ср"),
            QCoreApplication::translate("TFormTimers", "Чт"),
            QCoreApplication::translate("TFormTimers", "Пт"),
            QCoreApplication::translate("TFormTimers", "Сб"),
            QCoreApplication::translate("TFormTimers", "Вс")};
}

QString FrequencyCaption(const TTimerStation& station) {
    return QCoreApplication::translate("TFormTimers", "%1 МГц").arg(StationText(station));
}

QString ErrorText(const std::exception& error) {
    return QString::fromUtf8(error.what());
}

// Seven day boxes in a row, named by their captions.
std::array<QCheckBox*, 7> MakeDayBoxes(QWidget* parent, QHBoxLayout* row) {
    std::array<QCheckBox*, 7> boxes{};
    const QStringList names = DayNames();
    for (int day = 0; day < 7; ++day) {
        boxes[day] = new QCheckBox(names[day], parent);
        boxes[day]->setAccessibleName(names[day]);
        row->addWidget(boxes[day]);
    }
    return boxes;
}

std::array<bool, 7> CheckedDays(const std::array<QCheckBox*, 7>& boxes) {
    std::array<bool, 7> days{};
    for (int day = 0; day < 7; ++day)
        days[day] = boxes[day]->isChecked();
    return days;
}

void SetDayBoxes(const std::array<QCheckBox*, 7>& boxes, const std::array<bool, 7>& days) {
    for (int day = 0; day < 7; ++day)
        boxes[day]->setChecked(days[day]);
}

bool AnyDay(const std::array<bool, 7>& days) {
    for (bool day : days)
        if (day)
            return true;
    return false;
}

// A label that names the field beside it, also for screen readers.
QLabel* Caption(const QString& text, QWidget* field, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(field);
    field->setAccessibleName(label->text());
    return label;
}

QPushButton* MakeButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    // Enter in a field must not press a button that writes the file.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// Time edits work in wall-clock terms: a time zone of their own must not move a time that the
// machine's zone skips.
void WallClock(QDateTimeEdit* edit) {
    edit->setTimeSpec(Qt::UTC);
}

} // namespace

// --- TTimerStationPicker ---------------------------------------------------------------------

void TTimerStationPicker::Attach(QComboBox* list, QLineEdit* frequency) {
    FList = list;
    FFrequency = frequency;
    FList->setEditable(false);
    QObject::connect(FList, &QComboBox::currentIndexChanged, FList, [this] { FollowList(); });
    QObject::connect(FFrequency, &QLineEdit::textEdited, FFrequency, [this] { SetMarked(false); });
    SetStations({});
}

void TTimerStationPicker::SetStations(const std::vector<TTimersStation>& stations) {
    const QSignalBlocker blocker(FList);
    FList->clear();
    for (const TTimersStation& station : stations) {
        const TTimerStation place{station.TuneValue, station.FmBand};
        const QString frequency = FrequencyCaption(place);
        FList->addItem(station.Name.isEmpty()
                           ? frequency
                           : QCoreApplication::translate("TFormTimers", "%1 — %2")
                                 .arg(frequency, station.Name),
                       QVariantList{station.TuneValue, station.FmBand});
    }
    FList->addItem(QCoreApplication::translate("TFormTimers", "Частота…"));
    FList->setCurrentIndex(0);
    FollowList();
}

void TTimerStationPicker::Select(const TTimerStation& station) {
    const QVariantList key{station.TuneValue, station.FmBand};
    int index = FList->findData(key);
    if (index < 0) {
        index = FList->count() - 1;
        FFrequency->setText(StationText(station));
    }
    FList->setCurrentIndex(index);
    FollowList();
    SetMarked(false);
}

std::optional<TTimerStation> TTimerStationPicker::Picked() const {
    const QVariantList key = FList->currentData().toList();
    if (key.size() == 2)
        return TTimerStation{key[0].toInt(), key[1].toBool()};
    const std::optional<TTimerStation> typed = ParseStation(FFrequency->text());
    SetMarked(!typed);
    if (!typed)
        FFrequency->setFocus();
    return typed;
}

bool TTimerStationPicker::Marked() const {
    return FFrequency->property(InvalidProperty).toBool();
}

void TTimerStationPicker::FollowList() {
    FFrequency->setEnabled(FList->currentIndex() == FList->count() - 1);
}

void TTimerStationPicker::SetMarked(bool marked) const {
    FFrequency->setProperty(InvalidProperty, marked);
    // Only the field's background is set; an empty palette gives the field back its own.
    QPalette palette;
    if (marked)
        palette.setColor(QPalette::Base, QColor(255, 200, 200));
    FFrequency->setPalette(palette);
    FFrequency->setAccessibleDescription(
        marked ? QCoreApplication::translate("TFormTimers",
                                             "Частота вне диапазонов 65,9–74,0 и 88,0–108,0 МГц")
               : QString());
}

// --- TRecordingEditor ------------------------------------------------------------------------

TRecordingEditor::TRecordingEditor(const std::vector<TTimersStation>& stations, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint) {
    setWindowTitle(tr("Запись по расписанию"));
    setModal(true);
    setFont(WindowFont(11));

    auto* form = new QFormLayout(this);
    ComboBoxStation = new QComboBox(this);
    form->addRow(Caption(tr("Станция"), ComboBoxStation, this), ComboBoxStation);
    EditFrequency = new QLineEdit(this);
    form->addRow(Caption(tr("Частота, МГц"), EditFrequency, this), EditFrequency);
    Station.Attach(ComboBoxStation, EditFrequency);
    Station.SetStations(stations);

    RadioDate = new QRadioButton(tr("Дата"), this);
    RadioDate->setAccessibleName(RadioDate->text());
    EditDateTime = new QDateTimeEdit(this);
    EditDateTime->setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm"));
    EditDateTime->setCalendarPopup(true);
    EditDateTime->setAccessibleName(tr("Дата и время начала"));
    WallClock(EditDateTime);
    form->addRow(RadioDate, EditDateTime);

    RadioDays = new QRadioButton(tr("По дням"), this);
    RadioDays->setAccessibleName(RadioDays->text());
    EditTime = new QTimeEdit(this);
    EditTime->setDisplayFormat(QStringLiteral("HH:mm"));
    EditTime->setAccessibleName(tr("Время начала"));
    WallClock(EditTime);
    form->addRow(RadioDays, EditTime);
    auto* days = new QHBoxLayout;
    CheckDays = MakeDayBoxes(this, days);
    form->addRow(QString(), days);

    EditDuration = new QTimeEdit(this);
    EditDuration->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    EditDuration->setMinimumTime(QTime(0, 0, 1));
    WallClock(EditDuration);
    form->addRow(Caption(tr("Длительность"), EditDuration, this), EditDuration);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    ButtonOk = new QPushButton(QStringLiteral("OK"), this);
    ButtonOk->setDefault(true);
    ButtonCancel = new QPushButton(tr("Отмена"), this);
    buttons->addWidget(ButtonOk);
    buttons->addWidget(ButtonCancel);
    form->addRow(buttons);

    connect(RadioDate, &QRadioButton::toggled, this, &TRecordingEditor::FollowKind);
    connect(ButtonOk, &QPushButton::clicked, this, &TRecordingEditor::ButtonOkClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &TRecordingEditor::reject);
    RadioDays->setChecked(true);
    FollowKind();
}

void TRecordingEditor::SetRecording(const TRecordingTimer& recording) {
    Station.Select(recording.Station);
    const TTimerSchedule& schedule = recording.Schedule;
    if (schedule.Date.isValid()) {
        RadioDate->setChecked(true);
        EditDateTime->setDateTime(QDateTime(schedule.Date, schedule.Time, Qt::UTC));
    } else {
        RadioDays->setChecked(true);
        EditTime->setTime(schedule.Time);
        SetDayBoxes(CheckDays, schedule.Days);
    }
    EditDuration->setTime(QTime(0, 0).addSecs(recording.DurationSeconds));
    FollowKind();
}

std::optional<TRecordingTimer> TRecordingEditor::Recording() {
    const std::optional<TTimerStation> station = Station.Picked();
    if (!station)
        return std::nullopt;
    TRecordingTimer recording;
    recording.Station = *station;
    if (RadioDate->isChecked()) {
        recording.Schedule.Date = EditDateTime->date();
        recording.Schedule.Time = EditDateTime->time();
    } else {
        recording.Schedule.Time = EditTime->time();
        recording.Schedule.Days = CheckedDays(CheckDays);
    }
    recording.DurationSeconds = EditDuration->time().msecsSinceStartOfDay() / 1000;
    return recording;
}

void TRecordingEditor::ButtonOkClick() {
    const std::optional<TRecordingTimer> recording = Recording();
    if (recording && (!Save || Save(*recording)))
        accept();
}

void TRecordingEditor::FollowKind() {
    const bool dated = RadioDate->isChecked();
    EditDateTime->setEnabled(dated);
    EditTime->setEnabled(!dated);
    for (QCheckBox* day : CheckDays)
        day->setEnabled(!dated);
}

// --- TFormTimers -----------------------------------------------------------------------------

TFormTimers::TFormTimers(std::unique_ptr<TTimersHost> host, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      FHost(std::move(host)), FTick(new QTimer(this)) {
    setWindowTitle(tr("Таймеры"));
    setModal(false);
    setFont(WindowFont(11));
    CreateControls();
    FTick->setInterval(1000);
    connect(FTick, &QTimer::timeout, this, &TFormTimers::RefreshSleepLeft);
}

TFormTimers::~TFormTimers() = default;

void TFormTimers::CreateControls() {
    auto* layout = new QVBoxLayout(this);

    // Sleep.
    auto* sleep = new QGroupBox(tr("Сон"), this);
    auto* sleepRow = new QHBoxLayout(sleep);
    ComboBoxSleep = new QComboBox(sleep);
    ComboBoxSleep->addItem(tr("Выкл"));
    for (int minutes : SleepChoices)
        if (minutes > 0)
            ComboBoxSleep->addItem(tr("%1 мин").arg(minutes));
    ComboBoxSleep->addItem(tr("Другое…"));
    ComboBoxSleep->setAccessibleName(tr("Сон"));
    SpinSleepMinutes = new QSpinBox(sleep);
    SpinSleepMinutes->setRange(1, 1440);
    SpinSleepMinutes->setValue(120);
    // Only a finished entry starts the timer, not each digit typed on the way.
    SpinSleepMinutes->setKeyboardTracking(false);
    auto* minutesLabel = Caption(tr("Минут"), SpinSleepMinutes, sleep);
    LabelSleepLeft = new QLabel(sleep);
    sleepRow->addWidget(ComboBoxSleep);
    sleepRow->addWidget(minutesLabel);
    sleepRow->addWidget(SpinSleepMinutes);
    sleepRow->addWidget(LabelSleepLeft, 1);
    layout->addWidget(sleep);

    // Wake-up.
    auto* wake = new QGroupBox(tr("Будильник"), this);
    auto* wakeForm = new QFormLayout(wake);
    CheckWakeUp = new QCheckBox(tr("Включить"), wake);
    CheckWakeUp->setAccessibleName(tr("Включить будильник"));
    wakeForm->addRow(CheckWakeUp);
    EditWakeTime = new QTimeEdit(wake);
    EditWakeTime->setDisplayFormat(QStringLiteral("HH:mm"));
    WallClock(EditWakeTime);
    wakeForm->addRow(Caption(tr("Время"), EditWakeTime, wake), EditWakeTime);
    auto* wakeDays = new QHBoxLayout;
    CheckWakeDays = MakeDayBoxes(wake, wakeDays);
    wakeForm->addRow(tr("Дни"), wakeDays);
    ComboBoxWakeStation = new QComboBox(wake);
    wakeForm->addRow(Caption(tr("Станция"), ComboBoxWakeStation, wake), ComboBoxWakeStation);
    EditWakeFrequency = new QLineEdit(wake);
    wakeForm->addRow(Caption(tr("Частота, МГц"), EditWakeFrequency, wake), EditWakeFrequency);
    FWakeStation.Attach(ComboBoxWakeStation, EditWakeFrequency);
    SpinWakeVolume = new QSpinBox(wake);
    SpinWakeVolume->setRange(0, 100);
    wakeForm->addRow(Caption(tr("Громкость"), SpinWakeVolume, wake), SpinWakeVolume);
    ButtonSaveWakeUp = MakeButton(tr("Сохранить"), wake);
    wakeForm->addRow(QString(), ButtonSaveWakeUp);
    layout->addWidget(wake);

    // Scheduled recordings.
    auto* records = new QGroupBox(tr("Запись по расписанию"), this);
    auto* recordsLayout = new QVBoxLayout(records);
    TableRecordings = new QTableWidget(0, 3, records);
    TableRecordings->setHorizontalHeaderLabels({tr("Станция"), tr("Начало"), tr("Длительность")});
    TableRecordings->setAccessibleName(tr("Запись по расписанию"));
    TableRecordings->setSelectionBehavior(QAbstractItemView::SelectRows);
    TableRecordings->setSelectionMode(QAbstractItemView::SingleSelection);
    TableRecordings->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TableRecordings->verticalHeader()->hide();
    TableRecordings->horizontalHeader()->setStretchLastSection(true);
    recordsLayout->addWidget(TableRecordings);
    auto* recordButtons = new QHBoxLayout;
    ButtonAdd = MakeButton(tr("Добавить…"), records);
    ButtonChange = MakeButton(tr("Изменить…"), records);
    ButtonRemove = MakeButton(tr("Удалить"), records);
    recordButtons->addWidget(ButtonAdd);
    recordButtons->addWidget(ButtonChange);
    recordButtons->addWidget(ButtonRemove);
    recordButtons->addStretch();
    recordsLayout->addLayout(recordButtons);
    layout->addWidget(records, 1);

    CheckAutostart = new QCheckBox(tr("Запускать при входе в систему"), this);
    CheckAutostart->setAccessibleName(CheckAutostart->text());
    layout->addWidget(CheckAutostart);

    // Tab runs top to bottom, as the controls were created, but the captions' buddies sit
    // after their labels only in the layout: set it out explicitly.
    QList<QWidget*> order = {ComboBoxSleep, SpinSleepMinutes, CheckWakeUp, EditWakeTime};
    for (QCheckBox* day : CheckWakeDays)
        order << day;
    order << ComboBoxWakeStation << EditWakeFrequency << SpinWakeVolume << ButtonSaveWakeUp
          << TableRecordings << ButtonAdd << ButtonChange << ButtonRemove << CheckAutostart;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(ComboBoxSleep, &QComboBox::currentIndexChanged, this, &TFormTimers::SleepChoiceChanged);
    // The minutes count only while "Другое…" is chosen: a change otherwise must not restart
    // the timer that runs.
    connect(SpinSleepMinutes, &QSpinBox::valueChanged, this, [this] {
        if (ComboBoxSleep->currentIndex() == SleepOther)
            SleepChoiceChanged();
    });
    connect(ButtonSaveWakeUp, &QPushButton::clicked, this, &TFormTimers::ButtonSaveWakeUpClick);
    connect(ButtonAdd, &QPushButton::clicked, this, &TFormTimers::ButtonAddClick);
    connect(ButtonChange, &QPushButton::clicked, this, &TFormTimers::ButtonChangeClick);
    connect(ButtonRemove, &QPushButton::clicked, this, &TFormTimers::ButtonRemoveClick);
    connect(TableRecordings, &QTableWidget::cellDoubleClicked, this,
            &TFormTimers::ButtonChangeClick);
    // Clicked, not toggled: setting the box back after a failure must not try again.
    connect(CheckAutostart, &QCheckBox::clicked, this, &TFormTimers::AutostartClick);
    SpinSleepMinutes->setEnabled(false);
}

void TFormTimers::showEvent(QShowEvent* event) {
    // Restoring a minimised window is not a new showing.
    if (!event->spontaneous())
        Refresh();
    FTick->start();
    QDialog::showEvent(event);
}

void TFormTimers::hideEvent(QHideEvent* event) {
    if (!event->spontaneous())
        FTick->stop();
    QDialog::hideEvent(event);
}

void TFormTimers::Refresh() {
    const TTimersHost& host = *FHost;
    FStations = host.Stations();

    {
        const QSignalBlocker comboBlocker(ComboBoxSleep), spinBlocker(SpinSleepMinutes);
        const int minutes = host.SleepMinutes();
        int index = SleepOther;
        for (int i = 0; i < SleepOther; ++i)
            if (SleepChoices[i] == minutes)
                index = i;
        if (index == SleepOther)
            SpinSleepMinutes->setValue(minutes);
        ComboBoxSleep->setCurrentIndex(index);
        SpinSleepMinutes->setEnabled(index == SleepOther);
    }
    RefreshSleepLeft();

    const TTimersContents contents = host.ReadTimers();
    FWakeStation.SetStations(FStations);
    RefreshWakeUp(contents.WakeUp);
    FRecordings = contents.Recordings;
    RefreshRecordings();
    CheckAutostart->setChecked(host.AutostartEnabled());
}

void TFormTimers::SleepChoiceChanged() {
    const int index = ComboBoxSleep->currentIndex();
    SpinSleepMinutes->setEnabled(index == SleepOther);
    if (index < 0)
        return;
    FHost->SetSleepMinutes(index == SleepOther ? SpinSleepMinutes->value() : SleepChoices[index]);
    RefreshSleepLeft();
}

void TFormTimers::RefreshSleepLeft() {
    const qint64 seconds = FHost->SleepMinutes() > 0 ? FHost->SleepRemainingSeconds() : 0;
    if (seconds <= 0) {
        LabelSleepLeft->clear();
        // A timer that ran out switched itself off: the list must not go on showing it.
        if (FHost->SleepMinutes() == 0 && ComboBoxSleep->currentIndex() != 0) {
            const QSignalBlocker blocker(ComboBoxSleep);
            ComboBoxSleep->setCurrentIndex(0);
            SpinSleepMinutes->setEnabled(false);
        }
        return;
    }
    // Rounded up: "1 мин" until the very end, never "0 мин" while it still runs.
    LabelSleepLeft->setText(tr("Осталось %1 мин").arg((seconds + 59) / 60));
}

void TFormTimers::RefreshWakeUp(const std::optional<TWakeUp>& wakeUp) {
    TWakeUp shown;
    if (wakeUp) {
        shown = *wakeUp;
    } else {
        // What a new wake-up starts from: working days at seven.
        shown.Schedule.Time = QTime(7, 0);
        shown.Schedule.Days = {true, true, true, true, true, false, false};
        if (!FStations.empty())
            shown.Station = {FStations.front().TuneValue, FStations.front().FmBand};
        else
            shown.Station = {1017, true};
    }
    CheckWakeUp->setChecked(shown.Enabled);
    EditWakeTime->setTime(shown.Schedule.Time);
    SetDayBoxes(CheckWakeDays, shown.Schedule.Days);
    FWakeStation.Select(shown.Station);
    SpinWakeVolume->setValue(shown.Volume);
}

void TFormTimers::ButtonSaveWakeUpClick() {
    const std::optional<TTimerStation> station = FWakeStation.Picked();
    if (!station)
        return;
    TWakeUp wakeUp;
    wakeUp.Enabled = CheckWakeUp->isChecked();
    wakeUp.Schedule.Time = EditWakeTime->time();
    wakeUp.Schedule.Days = CheckedDays(CheckWakeDays);
    wakeUp.Station = *station;
    wakeUp.Volume = SpinWakeVolume->value();
    if (wakeUp.Enabled && !AnyDay(wakeUp.Schedule.Days)) {
        FHost->ShowError(tr("Не выбран ни один день недели"));
        return;
    }
    try {
        FHost->WriteWakeUp(wakeUp);
    } catch (const std::exception& error) {
        FHost->ShowError(ErrorText(error));
    }
}

QString TFormTimers::StationCaption(const TTimerStation& station) const {
    const QString frequency = FrequencyCaption(station);
    for (const TTimersStation& known : FStations)
        if (known.TuneValue == station.TuneValue && known.FmBand == station.FmBand &&
            !known.Name.isEmpty())
            return tr("%1 — %2").arg(frequency, known.Name);
    return frequency;
}

QString TFormTimers::StartText(const TTimerSchedule& schedule) {
    const QString clock = schedule.Time.toString(schedule.Time.second() ? QStringLiteral("HH:mm:ss")
                                                                        : QStringLiteral("HH:mm"));
    if (schedule.Date.isValid())
        return schedule.Date.toString(QStringLiteral("dd.MM.yyyy")) + QLatin1Char(' ') + clock;
    const QStringList names = DayNames();
    QStringList parts;
    for (int day = 0; day < 7; ++day)
        if (schedule.Days[day])
            parts << names[day];
    parts << clock;
    return parts.join(QLatin1Char(' '));
}

void TFormTimers::RefreshRecordings() {
    TableRecordings->setRowCount(int(FRecordings.size()));
    for (int row = 0; row < int(FRecordings.size()); ++row) {
        const TRecordingTimer& recording = FRecordings[std::size_t(row)].second;
        const QString cells[] = {StationCaption(recording.Station), StartText(recording.Schedule),
                                 ClockText(recording.DurationSeconds)};
        for (int column = 0; column < 3; ++column)
            TableRecordings->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    TableRecordings->resizeColumnsToContents();
    TableRecordings->horizontalHeader()->setStretchLastSection(true);
}

bool TFormTimers::SaveRecording(const QString& section, const TRecordingTimer& recording) {
    TTimersHost& host = *FHost;
    // A weekly recording on no day would be listed but never run.
    if (!recording.Schedule.Date.isValid() && !AnyDay(recording.Schedule.Days)) {
        host.ShowError(tr("Не выбран ни один день недели"));
        return false;
    }
    // Against the file as it is now, not as it was when the window was filled.
    const TTimersContents contents = host.ReadTimers();
    const QDateTime now = host.Now();
    const QTimeZone zone = host.Zone();
    for (const auto& [otherSection, other] : contents.Recordings) {
        if (otherSection == section)
            continue;
        if (RecordingsOverlap(recording, other, now, zone)) {
            host.ShowError(tr("Пересекается с записью: %1, %2")
                               .arg(FrequencyCaption(other.Station), StartText(other.Schedule)));
            return false;
        }
    }
    try {
        if (section.isEmpty())
            host.AddRecording(recording);
        else
            host.ReplaceRecording(section, recording);
    } catch (const std::exception& error) {
        host.ShowError(ErrorText(error));
        return false;
    }
    FRecordings = host.ReadTimers().Recordings;
    RefreshRecordings();
    return true;
}

void TFormTimers::EditRecording(const QString& section, const TRecordingTimer& recording) {
    TRecordingEditor editor(FStations, this);
    // A dated recording starts from the next full hour unless it has its own date.
    const QDateTime local = FHost->Now().toTimeZone(FHost->Zone()).addSecs(3600);
    editor.EditDateTime->setDateTime(
        QDateTime(local.date(), QTime(local.time().hour(), 0), Qt::UTC));
    editor.SetRecording(recording);
    editor.Save = [this, section](const TRecordingTimer& edited) {
        return SaveRecording(section, edited);
    };
    if (RunEditor)
        RunEditor(editor);
    else
        editor.exec();
}

void TFormTimers::ButtonAddClick() {
    TRecordingTimer recording;
    // The next full hour, today's weekday, for an hour.
    const QDateTime local = FHost->Now().toTimeZone(FHost->Zone()).addSecs(3600);
    recording.Schedule.Time = QTime(local.time().hour(), 0);
    recording.Schedule.Days[std::size_t(local.date().dayOfWeek() - 1)] = true;
    recording.DurationSeconds = 3600;
    if (!FStations.empty())
        recording.Station = {FStations.front().TuneValue, FStations.front().FmBand};
    else
        recording.Station = {1017, true};
    EditRecording(QString(), recording);
}

void TFormTimers::ButtonChangeClick() {
    const int row = TableRecordings->currentRow();
    if (row < 0 || row >= int(FRecordings.size()))
        return;
    const auto [section, recording] = FRecordings[std::size_t(row)];
    EditRecording(section, recording);
}

void TFormTimers::ButtonRemoveClick() {
    const int row = TableRecordings->currentRow();
    if (row < 0 || row >= int(FRecordings.size()))
        return;
    try {
        FHost->RemoveRecording(FRecordings[std::size_t(row)].first);
    } catch (const std::exception& error) {
        FHost->ShowError(ErrorText(error));
    }
    FRecordings = FHost->ReadTimers().Recordings;
    RefreshRecordings();
}

void TFormTimers::AutostartClick(bool checked) {
    QString error;
    if (FHost->SetAutostart(checked, error))
        return;
    FHost->ShowError(error);
    CheckAutostart->setChecked(!checked);
}
