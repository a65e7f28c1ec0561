#pragma once

// The equalizer window: ten vertical sliders, one per band of the main window's equalizer, and
// a list of presets. Every slider movement becomes the gain of its band; the "Custom" positions
// and the chosen preset are kept in the settings file, read when the window is created and
// written each time the user closes it. The window is made once and afterwards only shown and
// hidden (modeless); closing it only hides it.
//
// GUI thread only: the band setters it calls defer the filter's redesign to its own thread.

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <utility>

class QComboBox;
class QGroupBox;
class QLabel;
class TGraphicEqualizer;
class TImageTrackBar;

constexpr int EqualizerBandCount = 10;

// The bands' centre frequencies in Hz, band 0..9.
extern const std::array<std::uint16_t, EqualizerBandCount> EqualizerFrequencies;

// Slider positions (−15..15) of the presets "Default" … "Voice", by ComboBoxEQ index 0..8;
// index 9, "Custom", is the window's own custom positions.
constexpr int EqualizerCustomIndex = 9;
extern const std::array<std::array<std::int8_t, EqualizerBandCount>, EqualizerCustomIndex>
    EqualizerPresets;

// The gain of a slider position: −15 → 1.9, 0 → 1.0, 15 → 0.1 (a thumb above the middle
// raises its band).
double GainFromPosition(int position);

// The caption under a slider: "600" below 1000 Hz, else whole kilohertz and " k" ("10 k").
QString FrequencyCaption(int frequency);

// A band's name as a screen reader says it: "80 Гц", "600 Гц", "1 кГц", "14 кГц".
QString FrequencySpokenName(int frequency);

// A slider position's gain as a screen reader says it, in whole decibels of the band's
// amplitude: "+6 дБ", "0 дБ", "−20 дБ".
QString GainSpokenText(int position);
// The same gain in decibels, unrounded (−99 for none at all).
double GainDecibels(int position);

// A stored custom position, clamped to the slider's range (300 → 15, −999 → −15).
std::int8_t CustomPositionFromSetting(int value);

// How the window reaches the settings file (section "main"). The program's settings file
// lives with the application, which this library does not know; the application fills these
// in. An unassigned reader gives the defaults and an unassigned writer stores nothing.
// ReadInteger is called only while the window is being made and is not kept afterwards, so
// it may read from a file opened just for that; WriteInteger may throw (std::exception) when
// the file cannot be written.
struct TEqualizerSettingsAccess {
    std::function<int(const QString& key, int Default)> ReadInteger;
    std::function<void(const QString& key, int value)> WriteInteger;
};

class TFormEqualizer : public QDialog {
    Q_OBJECT
public:
    // Takes over the equalizer's first ten bands (adding bands while it has fewer): it sets
    // their frequencies at once and their gains from the preset read from the settings.
    TFormEqualizer(QWidget* owner, TGraphicEqualizer& equalizer, TEqualizerSettingsAccess settings);

    QGroupBox* GroupBoxTracks = nullptr;
    QComboBox* ComboBoxEQ = nullptr;
    // Per band: its slider (Tag = band) and the frequency caption under it.
    std::array<TImageTrackBar*, EqualizerBandCount> FTrackBars{};
    std::array<QLabel*, EqualizerBandCount> FLabels{};
    // The "Custom" row: the last hand-made setting, kept while presets are applied.
    std::array<std::int8_t, EqualizerBandCount> FCustomPositions{};
    // Slider changes count as the user's edits only while this is set.
    bool FReady = false;

    // A settings write that failed while the window was being closed: the window has hidden
    // all the same and the keys after the failed one were not written. The text is the
    // exception's. Unassigned, the exception itself is thrown on after the window has hidden
    // (the application shows it in a message box).
    std::function<void(const QString& message)> OnError;

    // Applies the preset selected in ComboBoxEQ (the user's choice in the list).
    void ComboBoxEQChange();
    // A slider moved, or its track was pressed: the setting becomes "Custom".
    void ImageTrackBarChange(TImageTrackBar* Sender);
    // Writes the custom positions and the selected preset (−1 for none). May throw.
    void FormCloseQuery();
    // The same, only when they changed since they were read or last written: the program's
    // close sequence keeps the user's setting also when this window was never closed. May
    // throw.
    void WriteIfChanged();

    // Every way the user closes the window ends here (the close box, Esc): the settings are
    // written and the window hides, even when the writing fails.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void SetBandGain(int band);

    // The custom positions and the preset as the settings file holds them.
    std::pair<std::array<std::int8_t, EqualizerBandCount>, int> Stored() const;

    TGraphicEqualizer& FEqualizer;
    TEqualizerSettingsAccess FSettings;
    std::pair<std::array<std::int8_t, EqualizerBandCount>, int> FWritten;
    bool FPlaced = false;
};
