// What a screen reader learns of the main window, and the order Tab takes through it.
// GUI thread only.
//
// Every control is named by what it does, not by the symbol it shows; the sliders speak their
// value in the units the user thinks in. Tab goes through the controls as they sit, group by
// group, left to right and top to bottom; the display is skipped, as it takes no input.
#include "UnitMain.h"
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"
#include "stations/StationListBox.h"
#include "tuner/TunerProtocol.h"

#include <QGroupBox>
#include <QToolButton>
#include <cmath>
#include <initializer_list>
#include <utility>

double TuningMegahertz(bool bandFM, int position) {
    return TunerProtocol::TuneValueOf(bandFM, position) / 10.0;
}

QString TuningValueText(bool bandFM, int position) {
    return TMainForm::tr("%1 МГц").arg(QString::number(TuningMegahertz(bandFM, position), 'f', 1));
}

double VolumePercent(int position, int min, int max) {
    return max > min ? 100.0 * double(position - min) / double(max - min) : 0.0;
}

QString VolumeValueText(int position, int min, int max) {
    return TMainForm::tr("%1 %").arg(int(std::lround(VolumePercent(position, min, max))));
}

int VolumeKeyStep(int min, int max) {
    return std::max(1, int(std::lround((double(max) - double(min)) / 20.0)));
}

void TMainForm::CreateAccessibility() {
    const std::pair<QWidget*, QString> names[] = {
        {SpeedButtonConnected, tr("Подключение")},
        {SpeedButtonPower, tr("Питание")},
        {SpeedButton2, tr("О программе")},
        {SpeedButton1, tr("Настройки")},
        {SpeedButtonSeekLeft, tr("Поиск вниз")},
        {SpeedButtonStepLeft, tr("Шаг вниз")},
        {SpeedButtonStepRight, tr("Шаг вверх")},
        {SpeedButtonSeekRight, tr("Поиск вверх")},
        {SpeedButtonList, tr("Список станций")},
        {SpeedButtonStereo, tr("Стерео")},
        {SpeedButtonMute, tr("Без звука")},
        {SpeedButtonFMBand, tr("Диапазон")},
        {SpeedButtonBass, tr("Усиление басов")},
        {SpeedButtonEqalizerOnOff, tr("Эквалайзер вкл/выкл")},
        {SpeedButtonEqalizerForm, tr("Окно эквалайзера")},
        {SpeedButtonAddStation, tr("Добавить станцию")},
        {SpeedButtonEditStation, tr("Править станцию")},
        {SpeedButtonDelStation, tr("Удалить станцию")},
        {SpeedButtonSortList, tr("Сортировать список")},
        {TrackBarFMTune, tr("Частота")},
        {TrackBarVolume, tr("Громкость")},
        {ListBoxStations, tr("Список станций")},
    };
    for (const auto& [control, name] : names)
        control->setAccessibleName(name);

    TrackBarFMTune->AccessibleValueText = [this](int position) {
        return TuningValueText(FBandFM, position);
    };
    TrackBarVolume->AccessibleValueText = [this](int position) {
        return VolumeValueText(position, TrackBarVolume->Min(), TrackBarVolume->Max());
    };
    TrackBarFMTune->AccessibleValue = [this](int position) {
        return TuningMegahertz(FBandFM, position);
    };
    TrackBarVolume->AccessibleValue = [this](int position) {
        return VolumePercent(position, TrackBarVolume->Min(), TrackBarVolume->Max());
    };
    // The tuning scale's arrows step as the step buttons do, a page is a whole megahertz.
    TrackBarFMTune->SetLineSize(1);
    TrackBarFMTune->SetPageSize(10);

    // Reading order. The display and the connection indicator (always disabled) are passed
    // over by themselves; so is the station list's group while it is hidden.
    QWidget* const order[] = {
        SpeedButtonConnected,
        SpeedButtonPower,
        SpeedButton2,
        SpeedButton1,
        SpeedButtonSeekLeft,
        SpeedButtonStepLeft,
        TrackBarFMTune,
        SpeedButtonStepRight,
        SpeedButtonSeekRight,
        SpeedButtonList,
        SpeedButtonStereo,
        SpeedButtonMute,
        SpeedButtonFMBand,
        SpeedButtonBass,
        TrackBarVolume,
        SpeedButtonEqalizerOnOff,
        SpeedButtonEqalizerForm,
        ListBoxStations,
        SpeedButtonAddStation,
        SpeedButtonEditStation,
        SpeedButtonDelStation,
        SpeedButtonSortList,
    };
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    // The keyboard starts in the station list when it shows, as it always has; otherwise with
    // the first control that takes it.
    ListBoxStations->setFocus(Qt::OtherFocusReason);
}
