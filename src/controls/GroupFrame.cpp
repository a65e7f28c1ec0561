#include "controls/GroupFrame.h"

#include <QPainter>
#include <qdrawutil.h>

namespace {

constexpr int CaptionLeft = 8; // where the caption starts, as in the classic frame
constexpr int CaptionGap = 2;  // on either side of it, where the line stops

} // namespace

TGroupFrame::TGroupFrame(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

QRect TGroupFrame::CaptionRect() const {
    if (title().isEmpty())
        return {};
    const QFontMetrics metrics(font());
    const int width = metrics.horizontalAdvance(title()) + 2 * CaptionGap;
    return {CaptionLeft, 0, width, metrics.height()};
}

void TGroupFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect caption = CaptionRect();
    // The top line runs through the middle of the caption's line.
    const QRect frame = rect().adjusted(0, caption.isEmpty() ? 0 : caption.height() / 2, 0, 0);
    if (!caption.isEmpty())
        painter.setClipRegion(QRegion(rect()).subtracted(caption));
    qDrawShadeRect(&painter, frame, palette(), true, 1, 0);
    if (caption.isEmpty())
        return;
    painter.setClipping(false);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(caption, Qt::AlignCenter | Qt::TextShowMnemonic, title());
}
