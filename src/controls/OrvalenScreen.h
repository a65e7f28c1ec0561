// TOrvalenScreen: the LCD-like tuner display. Every drawing goes into a 24-bit frame image
// (bytes blue, green, red) that is then copied to the widget in one piece; the level columns
// are redrawn on their own many times a second, so a column update touches only its column,
// the reflection band and the copy. GUI thread only; no locks.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>

enum TBorderStyle { bsNone, bsSingle };

// What the display tells, for a screen reader.
struct TScreenReading {
    int TuneValue = 0; // tenths of a megahertz
    bool FmBand = true;
    QString Name; // the station's name, empty when none
    bool TunerOn = false;
    bool Stereo = false;
    bool RDSEnabled = false;
    QString RDSName;
};

// The display as one line: frequency and band, then the station's name when there is one,
// "стерео" or "моно", and the RDS name when RDS shows one ("101.7 МГц FM, Новости, стерео,
// RDS: ROCK"). A tuner that is off shows nothing but the frequency: "выключен" stands for
// the rest.
QString ScreenReadingText(const TScreenReading& reading);

class TOrvalenScreen : public QWidget {
    Q_OBJECT
public:
    explicit TOrvalenScreen(QWidget* parent);

    // Frequency in tenths of a megahertz (880 = 88.0 MHz).
    int TuneValue() const { return FTuneValue; }
    void SetTuneValue(int value);
    // Tuner powered and connected; false draws everything in DisabledColor.
    bool TunerState() const { return FTunerState; }
    void SetTunerState(bool value);
    bool IsStereo() const { return FIsStereo; }
    void SetIsStereo(bool value);
    // Signal level; stored clamped to 0..15, lights bars 1..TuneLevel.
    int TuneLevel() const { return FTuneLevel; }
    void SetTuneLevel(int value);
    // These two redraw on every call, changed or not.
    bool RDSEnabled() const { return FRDSEnabled; }
    void SetRDSEnabled(bool value);
    const QString& RDSString() const { return FRDSString; }
    void SetRDSString(const QString& value);
    // Station name, left part of the text panel.
    const QString& Text() const { return FText; }
    void SetText(const QString& value);
    // true: "FM" lit; false: "УКВ" lit.
    bool isFmStyle() const { return FIsFmStyle; }
    void SetIsFmStyle(bool value);

    // Level columns, 0..8 (stored clamped: a level outside would address rows outside the
    // column picture).
    int volumeLeft() const { return FVolumeLeft; }
    void SetVolumeLeft(int value);
    int volumeRight() const { return FVolumeRight; }
    void SetVolumeRight(int value);
    int peekLeft() const { return FPeekLeft; }
    void SetPeekLeft(int value);
    int peekRight() const { return FPeekRight; }
    void SetPeekRight(int value);

    // Frequency digits; the face also serves the band marks and the unit. A font's colour is
    // a property of its own here, since QFont carries none.
    const QFont& FreqFont() const { return FFreqFont; }
    void SetFreqFont(const QFont& value);
    QColor FreqFontColor() const { return FFreqFontColor; }
    void SetFreqFontColor(const QColor& value);
    const QFont& TextFont() const { return FTextFont; }
    void SetTextFont(const QFont& value);
    QColor TextFontColor() const { return FTextFontColor; }
    void SetTextFontColor(const QColor& value);

    QColor BackColor() const { return FBackColor; }
    void SetBackColor(const QColor& value);
    QColor DisabledColor() const { return FDisabledColor; }
    void SetDisabledColor(const QColor& value);
    QColor StereoColor() const { return FStereoColor; }
    void SetStereoColor(const QColor& value);
    QColor LevelColor() const { return FLevelColor; }
    void SetLevelColor(const QColor& value);
    // bsSingle frames the screen in the control's Color (the palette's window colour).
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);

    // What the display shows now, and ScreenReadingText of it: the name assistive technology
    // gives the display, announced to it on every change.
    TScreenReading Reading() const;
    QString ReadingText() const { return ScreenReadingText(Reading()); }

    // The full paint: redraws the whole frame image at the widget's size and copies it.
    void Paint();

    // The frame image (Format_BGR888, the widget's size after the last full paint).
    const QImage& Frame() const { return FFrame; }
    // How many times any part of the frame was redrawn; lets callers see that a setter that
    // should do nothing did nothing.
    int RedrawCount() const { return FRedrawCount; }

signals:
    // ReadingText changed; assistive technology is told of the new name with it.
    void ReadingChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void PrepareFonts();
    int DrawTopBand(class QPainter& painter);
    void DrawAntennaAndBars(int x);
    void DrawTextPanel(QPainter& painter);
    void DrawColumn(int x0, int volume, int peek);
    void DrawBorder();
    void ConvertRows(int first, int last);
    void UpdateTextPanel();
    void UpdateColumn(bool left);
    void CopyToControl();
    const QImage& DeviceFrame(qreal ratio);
    void AnnounceReading();

    int FTuneValue = 1080;
    bool FTunerState = false;
    bool FIsStereo = true;
    int FTuneLevel = 1;
    bool FRDSEnabled = false;
    QString FRDSString;
    QString FText;
    bool FIsFmStyle = true;
    int FVolumeLeft = 0;
    int FVolumeRight = 0;
    int FPeekLeft = 0;
    int FPeekRight = 0;
    QFont FFreqFont;
    QColor FFreqFontColor{0, 255, 255};
    QFont FTextFont;
    QColor FTextFontColor{255, 255, 0};
    QColor FBackColor{0, 0, 0};
    QColor FDisabledColor{128, 128, 128};
    QColor FStereoColor{255, 0, 0};
    QColor FLevelColor{0, 255, 0};
    TBorderStyle FBorderStyle = bsNone;

    // Derived from FreqFont and TextFont when they are set.
    QFont FMarksFont, FDigitsFont, FLabelsFont, FPanelFont;
    int FMarksWidth = 0, FUnitWidth = 0, FDigitsWidth = 0;

    QImage FFrame;               // 24-bit, what the control shows
    QImage FPaintImage;          // 32-bit twin that text is rendered into (much faster than 24-bit)
    QImage FMirror;              // the reflection's strip
    QImage FColumnOff;           // 25 × 37, outlined segments
    QImage FColumnOn;            // 25 × 37, lit segments
    QImage FDeviceFrame;         // at a device pixel ratio other than 1: what is laid down
    int FDeviceFrameRedraw = -1; // the redraw FDeviceFrame was made from
    bool FFramePending = true;
    int FRedrawCount = 0;
    QString FAnnouncedReading; // the reading last told of
};
