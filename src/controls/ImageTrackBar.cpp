#include "controls/ImageTrackBar.h"

#include "controls/AccessibleControls.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <climits>
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
    InstallAccessibleControls();
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true); // hover over the thumb is followed without a button held
    // Reached with Tab only: a click leaves the focus where it was, so the window's keys keep
    // doing what they did for those who use the mouse.
    setFocusPolicy(Qt::TabFocus);
    resize(100, 28);
}

// Properties ---------------------------------------------------------------------------------

void TImageTrackBar::SetPosition(int value) {
    const int before = FPosition;
    value = std::max(value, FMin);
    value = std::min(value, FMax);
    FPosition = value;
    OffsetFromPosition();
    update();
    AnnouncePosition(before);
    const bool changed = FPosition != FLastNotified;
    FLastNotified = FPosition;
    if (OnChange && changed)
        OnChange(this);
}

void TImageTrackBar::SetMin(int value) {
    const int before = FPosition;
    FMin = value;
    if (FPosition < FMin)
        FPosition = FMin;
    OffsetFromPosition();
    update();
    AnnouncePosition(before);
}

void TImageTrackBar::SetMax(int value) {
    const int before = FPosition;
    FMax = value;
    if (FPosition > FMax)
        FPosition = FMax;
    OffsetFromPosition();
    update();
    AnnouncePosition(before);
}

void TImageTrackBar::SetLineSize(int value) {
    FLineSize = std::max(value, 1);
}

int TImageTrackBar::PageSize() const {
    if (FPageSize > 0)
        return FPageSize;
    const long long tenth = (static_cast<long long>(FMax) - FMin) / 10;
    return int(std::clamp<long long>(tenth, 1, INT_MAX));
}

void TImageTrackBar::SetPageSize(int value) {
    FPageSize = std::max(value, 0);
}

void TImageTrackBar::MoveByUser(int value) {
    if (isEnabled())
        SetPosition(value);
}

QString TImageTrackBar::ValueText() const {
    return AccessibleValueText ? AccessibleValueText(FPosition) : QString::number(FPosition);
}

double TImageTrackBar::Value(int position) const {
    return AccessibleValue ? AccessibleValue(position) : double(position);
}

int TImageTrackBar::PositionOfValue(double value) const {
    int nearest = FMin;
    for (int position = FMin; position <= FMax; ++position)
        if (std::abs(Value(position) - value) < std::abs(Value(nearest) - value))
            nearest = position;
    return nearest;
}

void TImageTrackBar::AnnounceValue() {
    if (!QAccessible::isActive())
        return;
    QAccessibleValueChangeEvent event(this, FPosition);
    QAccessible::updateAccessibility(&event);
}

void TImageTrackBar::AnnouncePosition(int before) {
    if (FPosition != before)
        AnnounceValue();
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
    const int before = FPosition;
    FPosition = TrackPositionFromOffset(offset, FMin, FMax, FTravel);
    FOffset = TrackOffsetFromPosition(FPosition, FMin, FMax, FTravel);
    ComputeGeometry();
    AnnouncePosition(before);
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
    // The focus shows only where the keyboard put it, and only on screen: Frame() stays the
    // pictures alone.
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.backgroundColor = Color();
        if (option.state.testFlag(QStyle::State_KeyboardFocusChange))
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
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

// Keyboard -----------------------------------------------------------------------------------

bool TImageTrackBar::KeyTarget(const QKeyEvent& event, int& target) const {
    if ((event.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    // Position grows to the right and downwards; the keys speak of what the user sees.
    const int up = FOrientation == trHorizontal ? 1 : -1;
    const long long line = FLineSize, page = PageSize();
    long long value = FPosition;
    switch (event.key()) {
    case Qt::Key_Right:
    case Qt::Key_Up:
        value += up * line;
        break;
    case Qt::Key_Left:
    case Qt::Key_Down:
        value -= up * line;
        break;
    case Qt::Key_PageUp:
        value += up * page;
        break;
    case Qt::Key_PageDown:
        value -= up * page;
        break;
    case Qt::Key_Home:
        value = FMin;
        break;
    case Qt::Key_End:
        value = FMax;
        break;
    default:
        return false;
    }
    target = int(std::clamp<long long>(value, FMin, FMax));
    return true;
}

bool TImageTrackBar::event(QEvent* event) {
    // While the bar has the focus its keys are its own, ahead of the window's shortcuts on
    // the same keys.
    if (event->type() == QEvent::ShortcutOverride && isEnabled()) {
        int target = 0;
        if (KeyTarget(*static_cast<QKeyEvent*>(event), target)) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void TImageTrackBar::keyPressEvent(QKeyEvent* event) {
    int target = 0;
    if (!isEnabled() || !KeyTarget(*event, target)) {
        QWidget::keyPressEvent(event);
        return;
    }
    MoveByUser(target);
    event->accept();
}

void TImageTrackBar::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TImageTrackBar::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}
