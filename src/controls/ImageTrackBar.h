// TImageTrackBar: a slider drawn entirely from two pictures, a slide (the track) and a thumb.
// The bar keeps references to the pictures it is given (it neither copies nor owns them).
// GUI thread only.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>

enum TTrackBarOrientation { trHorizontal, trVertical };
enum TTickStyle { tsNone, tsAuto, tsManual };

// The two conversions between Position and the thumb's offset along the travel; both round
// to the nearest integer, ties to even. Neither is defined for travel 0 or min == max.
int TrackOffsetFromPosition(int position, int min, int max, int travel);
int TrackPositionFromOffset(int offset, int min, int max, int travel);

class TImageTrackBar : public QWidget {
    Q_OBJECT
public:
    explicit TImageTrackBar(QWidget* parent);

    // Kept within Min..Max; notifies OnChange when it differs from the last notified value.
    int Position() const { return FPosition; }
    void SetPosition(int value);
    // Neither of these notifies: a range change only clamps Position.
    int Min() const { return FMin; }
    void SetMin(int value);
    int Max() const { return FMax; }
    void SetMax(int value);
    TTrackBarOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TTrackBarOrientation value);
    // Stored with a repaint; the bar draws no tick marks.
    int Frequency() const { return FFrequency; }
    void SetFrequency(int value);
    TTickStyle TickStyle() const { return FTickStyle; }
    void SetTickStyle(TTickStyle value);

    // Pictures with transparency (PNG); stored without a repaint.
    const QImage* SlidePNGImage() const { return FSlidePNGImage; }
    void SetSlidePNGImage(const QImage* value) { FSlidePNGImage = value; }
    const QImage* ThumbPNGImage() const { return FThumbPNGImage; }
    void SetThumbPNGImage(const QImage* value) { FThumbPNGImage = value; }
    // Plain bitmaps, drawn opaque; they take precedence over the PNG pictures when set.
    const QImage* SlideBitmap() const { return FSlideBitmap; }
    void SetSlideBitmap(const QImage* value) { FSlideBitmap = value; }
    const QImage* ThumbBitmap() const { return FThumbBitmap; }
    void SetThumbBitmap(const QImage* value) { FThumbBitmap = value; }

    // The control's background colour (the palette's window colour).
    QColor Color() const;
    void SetColor(const QColor& value);

    int Tag = 0;
    std::function<void(TImageTrackBar* Sender)> OnChange;

    // The keyboard's steps while the bar has the focus: an arrow key moves by LineSize, Page Up
    // and Page Down by PageSize (0: a tenth of the range, at least 1); Home and End go to Min
    // and Max. Up, Right and Page Up move the thumb up or right, so on a vertical bar (Min at
    // the top) they lower Position.
    int LineSize() const { return FLineSize; }
    void SetLineSize(int value);
    int PageSize() const;
    void SetPageSize(int value);
    // Moves the thumb as a drag by the user does: Position follows and OnChange is told of a
    // change. A disabled bar stays where it is.
    void MoveByUser(int value);

    // What a screen reader says as the bar's value; the bare Position when unassigned.
    std::function<QString(int Position)> AccessibleValueText;
    QString ValueText() const;
    // The bar's value as a number in the same units (megahertz, percent, decibels), since
    // Linux screen readers read and set the number; the bare Position when unassigned.
    std::function<double(int Position)> AccessibleValue;
    double Value(int position) const;
    // The position whose Value is nearest to `value` (the lower one of two as near).
    int PositionOfValue(double value) const;
    // Tells assistive technology that ValueText changed although Position did not.
    void AnnounceValue();

    // Draws the bar into Frame() (and shows it); the window system's repaints run it too.
    void Paint();
    const QImage& Frame() const { return FFrame; }
    // The thumb's distance from the start of its travel, in pixels.
    int ThumbOffset() const { return FOffset; }
    QRect ThumbRect() const { return FThumbRect; }
    int Travel() const { return FTravel; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // The Position a key moves to, or none for a key the bar does not answer.
    bool KeyTarget(const QKeyEvent& event, int& target) const;
    void AnnouncePosition(int before);
    const QImage* ThumbPicture() const;
    const QImage* SlidePicture() const;
    void ComputeGeometry();
    void OffsetFromPosition();
    void FollowPointer(QPoint point);

    int FPosition = 0;
    int FMin = 0;
    int FMax = 200;
    TTrackBarOrientation FOrientation = trHorizontal;
    int FFrequency = 1;
    TTickStyle FTickStyle = tsNone;
    const QImage* FSlidePNGImage = nullptr;
    const QImage* FThumbPNGImage = nullptr;
    const QImage* FSlideBitmap = nullptr;
    const QImage* FThumbBitmap = nullptr;
    int FLastNotified = -1; // the construction Position minus one: the first setting notifies

    QRect FThumbRect;
    QRect FSlideRect;
    int FThumbLength = 0;
    int FTravel = 0;
    int FOffset = 0;
    bool FPressed = false;
    bool FOverThumb = false;
    int FLineSize = 1;
    int FPageSize = 0;
    QImage FFrame;
};
