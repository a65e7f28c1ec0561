#include "equalizer/UnitEqualizer.h"

#include "controls/ImageTrackBar.h"
#include "controls/Pictures.h"
#include "controls/WindowFont.h"
#include "equalizer/GraphicEqualizer.h"

#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <exception>

const std::array<std::uint16_t, EqualizerBandCount> EqualizerFrequencies = {
    80, 170, 310, 600, 1000, 3000, 6000, 10000, 12000, 14000};

const std::array<std::array<std::int8_t, EqualizerBandCount>, EqualizerCustomIndex>
    EqualizerPresets = {{
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},       // Default
        {-2, 1, 3, 7, -2, -2, 0, 0, 7, 7},    // Rock
        {-2, 0, 1, 7, -2, -2, 0, 0, 7, 9},    // Rap
        {-5, 0, 0, -2, 0, 0, 2, 3, 0, -3},    // Grunge
        {-5, 0, 0, 0, 0, 0, 3, 0, 3, 2},      // Metal
        {-7, 2, 4, -2, -2, -3, 0, 0, 5, 5},   // Techno
        {-1, 4, 5, 2, -1, -2, 0, 0, 4, 4},    // Pop
        {0, 0, 0, 4, 5, 3, 7, 3, 0, 0},       // Classic
        {-8, -6, -4, 1, 0, 0, 0, -4, -6, -8}, // Voice
    }};

double GainFromPosition(int position) {
    return double(-6 * position) / 100.0 + 1.0;
}

QString FrequencyCaption(int frequency) {
    if (frequency < 1000)
        return QString::number(frequency);
    return QString::number(frequency / 1000) + QStringLiteral(" k");
}

QString FrequencySpokenName(int frequency) {
    if (frequency < 1000)
        return TFormEqualizer::tr("%1 Гц").arg(frequency);
    // One decimal where the band is not a whole kilohertz.
    const QString kilohertz = frequency % 1000 == 0 ? QString::number(frequency / 1000)
                                                    : QString::number(frequency / 1000.0, 'f', 1);
    return TFormEqualizer::tr("%1 кГц").arg(kilohertz);
}

double GainDecibels(int position) {
    const double gain = GainFromPosition(position);
    // No level at all below the bottom of the range: say the lowest the slider reaches.
    return gain > 0.0 ? 20.0 * std::log10(gain) : -99.0;
}

QString GainSpokenText(int position) {
    const long decibels = std::lround(GainDecibels(position));
    const QString number = decibels > 0   ? QStringLiteral("+%1").arg(decibels)
                           : decibels < 0 ? QStringLiteral("\u2212%1").arg(-decibels)
                                          : QStringLiteral("0");
    return TFormEqualizer::tr("%1 дБ").arg(number);
}

std::int8_t CustomPositionFromSetting(int value) {
    // Past the slider's ends means its end: taking the low byte would turn a deep cut (-999)
    // into a boost.
    return static_cast<std::int8_t>(std::clamp(value, -15, 15));
}

namespace {

constexpr int kPositionMin = -15;
constexpr int kPositionMax = 15;

QString CustomKey(int band) {
    return QStringLiteral("eqcustom") + QString::number(band);
}

const QString kTypeKey = QStringLiteral("equalizertype");

} // namespace

TFormEqualizer::TFormEqualizer(QWidget* owner, TGraphicEqualizer& equalizer,
                               TEqualizerSettingsAccess settings)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      FEqualizer(equalizer), FSettings(std::move(settings)) {
    setWindowTitle(tr("Эквалайзер"));
    setModal(false);
    setFixedSize(359, 223);
    setFont(WindowFont(11));

    GroupBoxTracks = new QGroupBox(this);
    GroupBoxTracks->setGeometry(8, 5, 345, 159);

    ComboBoxEQ = new QComboBox(this);
    ComboBoxEQ->setGeometry(6, 194, 137, 21);
    ComboBoxEQ->addItems({QStringLiteral("Default"), QStringLiteral("Rock"), QStringLiteral("Rap"),
                          QStringLiteral("Grunge"), QStringLiteral("Metal"),
                          QStringLiteral("Techno"), QStringLiteral("Pop"),
                          QStringLiteral("Classic"), QStringLiteral("Voice"),
                          QStringLiteral("Custom")});
    ComboBoxEQ->setCurrentIndex(0);
    // activated: the user's choice only; the window's own selection of "Custom" applies
    // nothing.
    connect(ComboBoxEQ, &QComboBox::activated, this, [this] { ComboBoxEQChange(); });

    FormCreate();
}

void TFormEqualizer::FormCreate() {
    setWindowIcon(QIcon(QPixmap::fromImage(Pictures::EqualizerIcon())));
    // The main window makes its equalizer with ten bands; one made with fewer gets the rest
    // here, so that every slider has its band.
    while (FEqualizer.Channels().Count() < EqualizerBandCount)
        FEqualizer.Channels().Add();

    for (int i = 0; i < EqualizerBandCount; ++i) {
        auto* bar = new TImageTrackBar(GroupBoxTracks);
        bar->SetSlidePNGImage(Pictures::EqualizerSlide());
        bar->SetThumbPNGImage(Pictures::EqualizerKnob());
        bar->SetMin(kPositionMin);
        bar->SetMax(kPositionMax);
        bar->SetOrientation(trVertical);
        bar->setGeometry(10 + 34 * i, 10, 20, 140);
        bar->Tag = i;
        // Before OnChange is attached: this first setting is not an edit.
        bar->SetPosition(0);
        bar->OnChange = [this](TImageTrackBar* sender) { ImageTrackBarChange(sender); };
        bar->setAccessibleName(FrequencySpokenName(EqualizerFrequencies[std::size_t(i)]));
        bar->AccessibleValueText = GainSpokenText;
        bar->AccessibleValue = GainDecibels;
        bar->show();
        FTrackBars[std::size_t(i)] = bar;

        auto* label = new QLabel(FrequencyCaption(EqualizerFrequencies[std::size_t(i)]), this);
        label->setGeometry(GroupBoxTracks->x() + bar->x() - 4,
                           GroupBoxTracks->y() + GroupBoxTracks->height() + 6, 26, 15);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
        label->setAlignment(Qt::AlignCenter);
        label->setFont(WindowFontInPoints(8));
        FLabels[std::size_t(i)] = label;

        FEqualizer.Channels().Items(i).SetFrequency(EqualizerFrequencies[std::size_t(i)]);
    }

    const auto read = [this](const QString& key, int Default) {
        return FSettings.ReadInteger ? FSettings.ReadInteger(key, Default) : Default;
    };
    for (int k = 0; k < EqualizerBandCount; ++k)
        FCustomPositions[std::size_t(k)] = CustomPositionFromSetting(read(CustomKey(k), 0));
    const int type = read(kTypeKey, 0);
    // Read once, at creation: the reader need not outlive it.
    FSettings.ReadInteger = nullptr;
    ComboBoxEQ->setCurrentIndex(type >= 0 && type < ComboBoxEQ->count() ? type : -1);
    ComboBoxEQChange();
    FWritten = Stored();
    FReady = true;

    ComboBoxEQ->setAccessibleName(tr("Предустановка"));
    // Tab goes through the sliders left to right, then to the presets below them; the window
    // still opens with the presets in hand, as it always has.
    QWidget* previous = FTrackBars[0];
    for (QWidget* next : FTrackBars) {
        if (next != previous)
            setTabOrder(previous, next);
        previous = next;
    }
    setTabOrder(previous, ComboBoxEQ);
    ComboBoxEQ->setFocus(Qt::OtherFocusReason);
}

std::pair<std::array<std::int8_t, EqualizerBandCount>, int> TFormEqualizer::Stored() const {
    return {FCustomPositions, ComboBoxEQ->currentIndex()};
}

void TFormEqualizer::WriteIfChanged() {
    if (Stored() != FWritten)
        FormCloseQuery();
}

void TFormEqualizer::SetBandGain(int band) {
    FEqualizer.Channels().Items(band).SetCoefficient(
        GainFromPosition(FTrackBars[std::size_t(band)]->Position()));
}

void TFormEqualizer::ComboBoxEQChange() {
    // The sliders' own change events are not edits while the preset is being applied.
    FReady = false;
    const int index = ComboBoxEQ->currentIndex();
    if (index >= 0 && index <= EqualizerCustomIndex)
        for (std::size_t i = 0; i < EqualizerBandCount; ++i)
            FTrackBars[i]->SetPosition(index == EqualizerCustomIndex
                                           ? FCustomPositions[i]
                                           : EqualizerPresets[std::size_t(index)][i]);
    for (int i = 0; i < EqualizerBandCount; ++i)
        SetBandGain(i);
    FReady = true;
}

void TFormEqualizer::ImageTrackBarChange(TImageTrackBar* Sender) {
    if (!FReady || Sender == nullptr || Sender->Tag < 0 || Sender->Tag >= EqualizerBandCount)
        return;
    ComboBoxEQ->setCurrentIndex(EqualizerCustomIndex);
    SetBandGain(Sender->Tag);
    for (std::size_t i = 0; i < EqualizerBandCount; ++i)
        FCustomPositions[i] = CustomPositionFromSetting(FTrackBars[i]->Position());
}

void TFormEqualizer::FormCloseQuery() {
    if (!FSettings.WriteInteger)
        return;
    for (int k = 0; k < EqualizerBandCount; ++k)
        FSettings.WriteInteger(CustomKey(k), FCustomPositions[std::size_t(k)]);
    FSettings.WriteInteger(kTypeKey, ComboBoxEQ->currentIndex());
    FWritten = Stored();
}

void TFormEqualizer::reject() {
    std::exception_ptr failure;
    QString message;
    try {
        FormCloseQuery();
    } catch (const std::exception& error) {
        failure = std::current_exception();
        message = QString::fromUtf8(error.what());
    }
    // The close goes ahead whatever became of the settings.
    QDialog::reject();
    if (!failure)
        return;
    if (!OnError)
        std::rethrow_exception(failure);
    OnError(message);
}

void TFormEqualizer::showEvent(QShowEvent* event) {
    // Centred on the main window the first time; afterwards it stays where the user put it.
    if (!FPlaced) {
        FPlaced = true;
        // Client area on client area: the frames' sizes are not known before the first show.
        if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr)
            setGeometry(
                QRect(owner->geometry().center() - QPoint(width() / 2, height() / 2), size()));
    }
    QDialog::showEvent(event);
}
