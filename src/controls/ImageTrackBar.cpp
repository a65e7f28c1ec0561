#include "controls/ImageTrackBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

int TrackOffsetFromPosition(int position, int min, int max, int travel) {
    if (max == min || travel <= 0)
        return 0;
    // nearbyint in the default rounding mode rounds ties to even.
    return int(std::nearbyint(double(travel) / double(max - min) * double(position - min)));
}

int TrackPositionFromOffset(int offset, int min, int max, int travel) {
    if (max == min || travel <= 0)
        return min;
    const long long product = static_cast<long long>(max - min) * offset;
    return min + int(std::nearbyint(double(product) / double(travel)));
}

TImageTrackBar::TImageTrackBar(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true); // hover over the thumb is followed without a button held
    resize(100, 28);
}

// Properties ---------------------------------------------------------------------------------

void TImageTrackBar::SetPosition(int value) {
    value = std::max(value, FMin);
    value = std::min(value, FMax);
    FPosition = value;
    OffsetFromPosition();
    update();
    const bool changed = FPosition != FLastNotified;
    FLastNotified = FPosition;
    if (OnChange && changed)
        OnChange(this);
}

void TImageTrackBar::SetMin(int value) {
    FMin = value;
    if (FPosition < FMin)
        FPosition = FMin;
    OffsetFromPosition();
    update();
}

void TImageTrackBar::SetMax(int value) {
    FMax = value;
    if (FPosition > FMax)
        FPosition = FMax;
    OffsetFromPosition();
    update();
}

void TImageTrackBar::SetOrientation(TTrackBarOrientation value) {
    FOrientation = value;
    OffsetFromPosition();
    update();
}

void TImageTrackBar::SetFrequency(int value) {
    FFrequency = value;
    update();
}

void TImageTrackBar::SetTickStyle(TTickStyle value) {
    FTickStyle = value;
    update();
}

QColor TImageTrackBar::Color() const {
    return palette().color(QPalette::Window);
}

void TImageTrackBar::SetColor(const QColor& value) {
    QPalette p = palette();
    p.setColor(QPalette::Window, value);
    setPalette(p);
    update();
}

// Geometry -----------------------------------------------------------------------------------

const QImage* TImageTrackBar::ThumbPicture() const {
    return FThumbBitmap ? FThumbBitmap : FThumbPNGImage;
}

const QImage* TImageTrackBar::SlidePicture() const {
    return FSlideBitmap ? FSlideBitmap : FSlidePNGImage;
}

// Everything but the thumb's place along the travel.
void TImageTrackBar::ComputeGeometry() {
    const int cw = width(), ch = height();
    const QImage* thumb = ThumbPicture();
    const QImage* slide = SlidePicture();
    if (FOrientation == trHorizontal) {
        FThumbLength = thumb ? thumb->width() : (ch - 8) / 2;
        FTravel = cw - FThumbLength;
        const int inset = ch / 3 + 1;
        FSlideRect = QRect(QPoint(0, inset), QPoint(cw - 1, ch - inset - 1));
    } else {
        FThumbLength = thumb ? thumb->height() : (cw - 8) / 2;
        FTravel = ch - FThumbLength;
        const int inset = cw / 3 + 1;
        FSlideRect = QRect(QPoint(inset, 0), QPoint(cw - inset - 1, ch - 1));
    }
    if (slide)
        FSlideRect = QRect(QPoint(0, 0), slide->size());
    const int offset = FOffset;
    if (FOrientation == trHorizontal)
        FThumbRect = thumb ? QRect(offset, 0, thumb->width(), thumb->height())
                           : QRect(offset, 4, FThumbLength, ch - 8);
    else
        FThumbRect = thumb ? QRect(0, offset, thumb->width(), thumb->height())
                           : QRect(4, offset, cw - 8, FThumbLength);
}

// The offset always follows Position at the bar's present size and pictures, so that a
// Position set before the first paint (or before a resize) puts the thumb in the right place.
void TImageTrackBar::OffsetFromPosition() {
    ComputeGeometry();
    FOffset = TrackOffsetFromPosition(FPosition, FMin, FMax, FTravel);
    ComputeGeometry();
}

void TImageTrackBar::FollowPointer(QPoint point) {
    ComputeGeometry();
    int offset = FOrientation == trHorizontal ? point.x() - FThumbLength / 2 : point.y() - 5;
    offset = std::clamp(offset, 0, std::max(FTravel, 0));
    FPosition = TrackPositionFromOffset(offset, FMin, FMax, FTravel);
    FOffset = TrackOffsetFromPosition(FPosition, FMin, FMax, FTravel);
    ComputeGeometry();
}

// Painting -----------------------------------------------------------------------------------

void TImageTrackBar::Paint() {
    const int oldTravel = FTravel;
    ComputeGeometry();
    if (FTravel != oldTravel)
        OffsetFromPosition();
    if (FOrientation == trVertical) {
        FPosition = TrackPositionFromOffset(FOffset, FMin, FMax, FTravel);
        FOffset = TrackOffsetFromPosition(FPosition, FMin, FMax, FTravel);
        ComputeGeometry();
    }
    if (FFrame.size() != size())
        FFrame = QImage(size(), QImage::Format_RGB32);
    if (FFrame.isNull())
        return;
    FFrame.fill(Color());
    QPainter painter(&FFrame);
    if (FSlideBitmap)
        painter.drawImage(FSlideRect.topLeft(), *FSlideBitmap);
    else if (FSlidePNGImage)
        painter.drawImage(FSlideRect.topLeft(), *FSlidePNGImage);
    else {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(FSlideRect).adjusted(0.5, 0.5, -0.5, -0.5), 7.5, 7.5);
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
    if (const QImage* thumb = ThumbPicture())
        painter.drawImage(FThumbRect.topLeft(), *thumb);
    else {
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(FThumbRect.adjusted(0, 0, -1, -1));
    }
}

void TImageTrackBar::paintEvent(QPaintEvent*) {
    Paint();
    QPainter painter(this);
    painter.drawImage(0, 0, FFrame);
}

void TImageTrackBar::resizeEvent(QResizeEvent*) {
    update();
}

void TImageTrackBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(event);
}

void TImageTrackBar::enterEvent(QEnterEvent*) {
    update();
}

void TImageTrackBar::leaveEvent(QEvent*) {
    FOverThumb = false;
    if (isEnabled())
        update();
}

// Mouse --------------------------------------------------------------------------------------

void TImageTrackBar::mousePressEvent(QMouseEvent* event) {
    if (!isEnabled())
        return;
    ComputeGeometry();
    const QPoint p = event->position().toPoint();
    const QRect& t = FThumbRect;
    const bool onThumb =
        p.x() > t.left() && p.x() < t.right() + 1 && p.y() > t.top() && p.y() < t.bottom() + 1;
    FPressed = true;
    if (!onThumb) {
        FollowPointer(p);
        // A press on the track always tells the owner, even when Position stays: the
        // equalizer window treats it as an edit. The last notified value is left alone.
        if (OnChange)
            OnChange(this);
    }
    update();
}

void TImageTrackBar::mouseMoveEvent(QMouseEvent* event) {
    if (!isEnabled())
        return;
    const QPoint p = event->position().toPoint();
    if (!FPressed) {
        ComputeGeometry();
        FOverThumb = FThumbRect.contains(p);
    } else {
        FollowPointer(p);
        const bool changed = FPosition != FLastNotified;
        FLastNotified = FPosition;
        if (OnChange && changed)
            OnChange(this);
    }
    update();
}

void TImageTrackBar::mouseReleaseEvent(QMouseEvent*) {
    if (!isEnabled())
        return;
    FPressed = false;
    update();
}
