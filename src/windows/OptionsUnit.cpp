#include "OptionsUnit.h"

#include "controls/WindowFont.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QSlider>
#include <QStyle>
#include <algorithm>
#include <optional>
#include <utility>

namespace {

QLabel* MakeLabel(QWidget* parent, int left, int top, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QCheckBox* MakeCheckBox(QWidget* parent, const QRect& bounds, const QString& text) {
    auto* box = new QCheckBox(text, parent);
    box->setGeometry(bounds);
    return box;
}

// A drop-down list: the user picks one of the items and cannot type.
QComboBox* MakeList(QWidget* parent, const QRect& bounds, const QStringList& items = {}) {
    auto* list = new QComboBox(parent);
    list->setEditable(false);
    list->setGeometry(bounds);
    list->addItems(items);
    return list;
}

QPushButton* MakeButton(QWidget* parent, const QRect& bounds, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setGeometry(bounds);
    // Enter in a list or a check box must not press a button.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

void FillDeviceList(QComboBox* list, const QStringList& devices, const QString& current) {
    list->clear();
    list->addItems(devices);
    // The first item equal to the name without regard to case (a fixed-string match ignores
    // case unless told otherwise), or none.
    list->setCurrentIndex(list->findText(current, Qt::MatchFixedString));
}

// The selected item as a number; Default when nothing is selected or it is not a number.
int SelectedNumber(const QComboBox* list, int Default) {
    if (list->currentIndex() < 0)
        return Default;
    bool ok = false;
    const int value = list->currentText().toInt(&ok);
    return ok ? value : Default;
}

} // namespace

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), FButtons(new QButtonGroup(this)) {
    FButtons->setExclusive(true);
    for (int i = 0; i < items.size(); ++i)
        FButtons->addButton(new QRadioButton(items[i], this), i);
}

QList<QRadioButton*> TRadioGroup::Buttons() const {
    QList<QRadioButton*> buttons;
    for (QAbstractButton* button : FButtons->buttons())
        buttons << static_cast<QRadioButton*>(button);
    return buttons;
}

int TRadioGroup::ItemIndex() const {
    return FButtons->checkedId();
}

void TRadioGroup::SetItemIndex(int Value) {
    const int count = int(FButtons->buttons().size());
    Value = std::clamp(Value, -1, count - 1);
    if (Value >= 0) {
        FButtons->button(Value)->setChecked(true);
    } else if (QAbstractButton* checked = FButtons->checkedButton()) {
        // An exclusive group keeps one button checked; it lets go only while it is not exclusive.
        FButtons->setExclusive(false);
        checked->setChecked(false);
        FButtons->setExclusive(true);
    }
}

TOptionsForm::TOptionsForm(std::unique_ptr<TOptionsHost> host, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      FHost(std::move(host)) {
    setWindowTitle(tr("Настройки"));
    setModal(false);
    setFixedSize(545, 412);
    setFont(WindowFont(11));
    CreateControls();
}

TOptionsForm::~TOptionsForm() = default;

void TOptionsForm::CreateControls() {
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setGeometry(8, 8, 530, 357);

    GroupBox3 = new QGroupBox(tr("Основные настройки"), GroupBox1);
    GroupBox3->setGeometry(8, 16, 297, 121);
    CheckBoxScreenSnap = MakeCheckBox(GroupBox3, {8, 16, 177, 25}, tr("Прилипать к краям экрана"));
    CheckBoxDirectSound =
        MakeCheckBox(GroupBox3, {8, 46, 230, 17}, tr("Включить цифровую обработку звука"));
    CheckBoxRDS = MakeCheckBox(GroupBox3, {8, 70, 230, 17}, tr("Использовать RDS (RDA5807)"));

    GroupBox2 = new QGroupBox(tr("Цифровая обработка звука"), GroupBox1);
    GroupBox2->setGeometry(8, 144, 297, 201);
    Label1 = MakeLabel(GroupBox2, 9, 27, tr("Вход"));
    ComboBoxAudioDevices = MakeList(GroupBox2, {56, 24, 233, 21});
    Label2 = MakeLabel(GroupBox2, 9, 63, tr("Выход"));
    ComboBoxAudioOut = MakeList(GroupBox2, {56, 60, 233, 21});
    Label3 = MakeLabel(GroupBox2, 9, 103, tr("Бит"));
    ComboBoxBits = MakeList(GroupBox2, {56, 100, 49, 21}, {"8", "16", "24", "32"});
    ComboBoxBits->setCurrentIndex(1);
    Label4 = MakeLabel(GroupBox2, 9, 135, tr("Частота дискретизации"));
    ComboBoxSampleRate =
        MakeList(GroupBox2, {144, 132, 73, 21},
                 {"8000", "11025", "16000", "22050", "32000", "44100", "48000", "96000", "192000"});
    ComboBoxSampleRate->setCurrentIndex(5);
    Label5 = MakeLabel(GroupBox2, 9, 175, tr("Громкость чипа (только для RDA5807)"));
    TrackBarHardVolume = new QSlider(Qt::Horizontal, GroupBox2);
    TrackBarHardVolume->setGeometry(208, 168, 81, 25);
    TrackBarHardVolume->setRange(1, 15);
    TrackBarHardVolume->setValue(8);
    TrackBarHardVolume->setTickPosition(QSlider::TicksBelow);
    TrackBarHardVolume->setTickInterval(1);
    TrackBarHardVolume->setPageStep(2);

    RadioGroupFMModule = new TRadioGroup(
        tr("Подключаемый FM-модуль"),
        {tr("Автоматически"), QStringLiteral("TEA5767"), QStringLiteral("RDA5807M")}, GroupBox1);
    RadioGroupFMModule->setGeometry(312, 16, 209, 89);
    const QList<QRadioButton*> items = RadioGroupFMModule->Buttons();
    // The items share the space below the caption evenly.
    const int top = 16, itemHeight = (RadioGroupFMModule->height() - top - 4) / int(items.size());
    for (int i = 0; i < items.size(); ++i)
        items[i]->setGeometry(8, top + i * itemHeight + (itemHeight - 17) / 2,
                              RadioGroupFMModule->width() - 16, 17);
    RadioGroupFMModule->SetItemIndex(0);

    BitBtn1 = MakeButton(this, {369, 372, 81, 33}, QStringLiteral("OK"));
    // The style's check mark; its disabled picture is the glyph's second state.
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtn2 = MakeButton(this, {457, 372, 81, 33}, QStringLiteral("Cancel"));
    BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    CheckBoxDebug = MakeCheckBox(this, {8, 380, 65, 17}, QStringLiteral("Debug"));

    // Each field is named by its caption: a drop-down list would otherwise be known by the
    // item it shows, the slider by whatever caption sits nearest.
    const std::pair<QLabel*, QWidget*> captions[] = {
        {Label1, ComboBoxAudioDevices}, {Label2, ComboBoxAudioOut},   {Label3, ComboBoxBits},
        {Label4, ComboBoxSampleRate},   {Label5, TrackBarHardVolume},
    };
    for (const auto& [label, field] : captions) {
        label->setBuddy(field);
        field->setAccessibleName(label->text());
    }
    // The caption names the chip, not what the slider sets.
    TrackBarHardVolume->setAccessibleName(tr("Громкость чипа"));
    // Tab follows the groups as they sit: the main settings, the module beside them, the
    // sound settings below, then the bottom row.
    QList<QWidget*> order = {CheckBoxScreenSnap, CheckBoxDirectSound, CheckBoxRDS};
    for (QRadioButton* item : RadioGroupFMModule->Buttons())
        order << item;
    order << ComboBoxAudioDevices << ComboBoxAudioOut << ComboBoxBits << ComboBoxSampleRate
          << TrackBarHardVolume << CheckBoxDebug << BitBtn1 << BitBtn2;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    // Ticked at design, like the setting's default, so that the group's enabling follows the
    // box from the first showing on: every change of the box, by the user or by a showing,
    // runs the handler.
    CheckBoxDirectSound->setChecked(true);
    connect(CheckBoxDirectSound, &QCheckBox::toggled, this,
            &TOptionsForm::CheckBoxDirectSoundClick);
    connect(BitBtn1, &QPushButton::clicked, this, &TOptionsForm::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TOptionsForm::BitBtn2Click);
}

void TOptionsForm::showEvent(QShowEvent* event) {
    // Restoring a minimised dialog is not a new showing.
    if (!event->spontaneous()) {
        // Centred on the screen of the window that owns it.
        const QWidget* owner = parentWidget();
        const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
        if (screen)
            move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
        FormShow();
    }
    QDialog::showEvent(event);
}

void TOptionsForm::FormShow() {
    const TOptionsHost& host = *FHost;
    CheckBoxDirectSound->setChecked(host.DigitalAudio());
    FillDeviceList(ComboBoxAudioDevices, host.InDevices(), host.InDeviceName());
    FillDeviceList(ComboBoxAudioOut, host.OutDevices(), host.OutDeviceName());
    CheckBoxDebug->setChecked(host.Debug());
    CheckBoxScreenSnap->setChecked(host.ScreenSnap());
    ComboBoxBits->setCurrentIndex(ComboBoxBits->findText(QString::number(host.CaptureBits())));
    ComboBoxSampleRate->setCurrentIndex(
        ComboBoxSampleRate->findText(QString::number(host.CaptureSampleRate())));
    RadioGroupFMModule->SetItemIndex(host.ModuleSetting());
    CheckBoxRDS->setChecked(host.UseRDS());
    TrackBarHardVolume->setValue(host.HardVolume());
}

void TOptionsForm::CheckBoxDirectSoundClick() {
    GroupBox2->setEnabled(CheckBoxDirectSound->isChecked());
}

std::vector<TOptionsSetting> TOptionsForm::SettingsToWrite() const {
    return {
        {QStringLiteral("directsound"), CheckBoxDirectSound->isChecked()},
        {QStringLiteral("currentindevicename"), FHost->InDeviceName()},
        {QStringLiteral("currentoutdevicename"), FHost->OutDeviceName()},
        {QStringLiteral("debug"), CheckBoxDebug->isChecked()},
        {QStringLiteral("ScreenSnap"), CheckBoxScreenSnap->isChecked()},
        // The list positions, not the numbers: start-up maps them back.
        {QStringLiteral("audiobits"), ComboBoxBits->currentIndex()},
        {QStringLiteral("audiosamplerate"), ComboBoxSampleRate->currentIndex()},
        {QStringLiteral("usedmodule"), RadioGroupFMModule->ItemIndex()},
        {QStringLiteral("userds"), CheckBoxRDS->isChecked()},
        {QStringLiteral("hardVolume"), TrackBarHardVolume->value()},
    };
}

void TOptionsForm::BitBtn1Click() {
    TOptionsHost& host = *FHost;
    // The devices and the capture format first, so that digital sound switched on below starts
    // on them (and a chain that plays moves to them once).
    // A device no longer in the list shows no selection and stays as it was.
    if (ComboBoxAudioDevices->currentIndex() >= 0)
        host.SetInDevice(ComboBoxAudioDevices->currentText());
    if (ComboBoxAudioOut->currentIndex() >= 0)
        host.SetOutDevice(ComboBoxAudioOut->currentText());
    host.SetCaptureFormat(SelectedNumber(ComboBoxBits, 16),
                          SelectedNumber(ComboBoxSampleRate, 44100));
    host.SetDigitalAudio(CheckBoxDirectSound->isChecked());
    host.SetDebug(CheckBoxDebug->isChecked());
    host.SetScreenSnap(CheckBoxScreenSnap->isChecked());
    // Only stored: the tuner that is connected stays connected; the next match uses it.
    host.SetModuleSetting(RadioGroupFMModule->ItemIndex());
    host.UpdateVolumeRange();
    host.SetUseRDS(CheckBoxRDS->isChecked());
    host.SendRDSSetting();
    host.SetHardVolume(TrackBarHardVolume->value());
    if (host.Module() == 2)
        host.SendChipVolume(host.HardVolume());

    std::optional<QString> failure;
    try {
        host.WriteSettings(SettingsToWrite());
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
    }
    // The running program follows the dialog whether or not the file could be written, so
    // that what the user chose is in force everywhere, not only up to the failed write.
    host.SetLogVisible(CheckBoxDebug->isChecked());
    if (failure) {
        // The dialog stays open with the user's choices, so OK can try the write again.
        ReportError(*failure);
        return;
    }
    accept();
}

void TOptionsForm::BitBtn2Click() {
    reject();
}

void TOptionsForm::ReportError(const QString& message) {
    if (OnError)
        OnError(message);
    else
        QMessageBox::critical(this, QCoreApplication::applicationName(), message);
}
