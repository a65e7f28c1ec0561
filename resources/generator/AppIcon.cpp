#include "AppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The display's own colours: cyan readout, green signal bars, grey for what is unlit, yellow
// station text.
const QColor Readout(0, 255, 255);
const QColor Bars(0, 255, 0);
const QColor Unlit(128, 128, 128);
const QColor Text(255, 255, 0);

int Round(double v) {
    return int(std::lround(v));
}

// Seven-segment digits on the pixel grid, so that they stay sharp at every size. Segments:
// a top, b upper right, c lower right, d bottom, e lower left, f upper left, g middle.
struct TDigitStyle {
    int Width;
    int Height;
    int Thick;
    int Gap;
};

unsigned SegmentsOf(QChar c) {
    switch (c.unicode()) {
    case '0':
        return 0b0111111;
    case '1':
        return 0b0000110;
    case '7':
        return 0b0000111;
    case '8':
        return 0b1111111;
    default:
        return 0;
    }
}

// The rectangles of the segments of mask in a cell of width w at (x, y).
std::vector<QRect> SegmentRects(unsigned mask, int x, int y, int w, const TDigitStyle& st) {
    const int t = st.Thick, h = st.Height, mid = y + (h - t) / 2;
    const QRect all[7] = {
        {x, y, w, t},                     // a
        {x + w - t, y, t, mid - y + t},   // b
        {x + w - t, mid, t, y + h - mid}, // c
        {x, y + h - t, w, t},             // d
        {x, mid, t, y + h - mid},         // e
        {x, y, t, mid - y + t},           // f
        {x, mid, w, t},                   // g
    };
    std::vector<QRect> rects;
    for (int i = 0; i < 7; ++i)
        if (mask & (1u << i))
            rects.push_back(all[i]);
    return rects;
}

// A "1" and the point are one stroke wide, so that the readout stays compact.
int CellWidth(QChar c, const TDigitStyle& st) {
    return c == QLatin1Char('1') || c == QLatin1Char('.') ? st.Thick : st.Width;
}

int TextWidth(const QString& text, const TDigitStyle& st) {
    int w = 0;
    for (QChar c : text)
        w += CellWidth(c, st) + st.Gap;
    return w - st.Gap;
}

// Draws text from (x, y); when ghost is valid, the unlit segments of each full-width digit
// show in it, as on a real segment display.
void DrawReadout(QPainter& p, const QString& text, int x, int y, const TDigitStyle& st,
                 const QColor& lit, const QColor& ghost) {
    for (QChar c : text) {
        const int w = CellWidth(c, st);
        if (c == QLatin1Char('.')) {
            p.fillRect(QRect(x, y + st.Height - st.Thick, st.Thick, st.Thick), lit);
        } else {
            if (ghost.isValid() && w == st.Width)
                for (const QRect& r : SegmentRects(SegmentsOf('8'), x, y, w, st))
                    p.fillRect(r, ghost);
            for (const QRect& r : SegmentRects(SegmentsOf(c), x, y, w, st))
                p.fillRect(r, lit);
        }
        x += w + st.Gap;
    }
}

// The signal bars as on the display: a staircase, the last ones unlit.
void DrawBars(QPainter& p, const QRect& area, int count, int width, int gap, int lit) {
    for (int i = 0; i < count; ++i) {
        const int h =
            std::max(1, Round(area.height() * (0.35 + 0.65 * i / std::max(1, count - 1))));
        const QRect bar(area.left() + i * (width + gap), area.bottom() + 1 - h, width, h);
        p.fillRect(bar, i < lit ? Bars : Unlit);
    }
}

void DrawCase(QPainter& p, const QRectF& body, qreal radius, qreal line) {
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, body.top(), 0, body.bottom());
    fill.setColorAt(0, QColor(80, 150, 240));
    fill.setColorAt(1, QColor(20, 60, 140));
    p.setPen(QPen(QColor(12, 35, 90), line));
    p.setBrush(fill);
    const qreal inset = line / 2;
    p.drawRoundedRect(body.adjusted(inset, inset, -inset, -inset), radius, radius);
}

// The most digits of the readout that fit area, as tall as they can be.
std::pair<QString, TDigitStyle> FitReadout(const QRect& area) {
    for (const QString& text :
         {QStringLiteral("101.7"), QStringLiteral("101"), QStringLiteral("10")}) {
        for (int h = (area.height() - 1) | 1; h >= 5; h -= 2) {
            const int thick = std::max(1, Round(h / 6.5));
            const TDigitStyle style{std::max(thick * 2 + 1, Round(h * 0.55)), h, thick, thick};
            if (TextWidth(text, style) <= area.width())
                return {text, style};
        }
    }
    return {};
}

// The display's reflection: the readout mirrored under itself, fading out towards bottom.
void DrawReflection(QPainter& p, const QString& text, int x, int y, const TDigitStyle& st,
                    int bottom) {
    const int gap = std::max(1, st.Thick);
    const int top = y + st.Height + gap;
    if (bottom <= top)
        return;
    const QTransform toDevice = p.transform();
    QImage mirror(p.device()->width(), p.device()->height(), QImage::Format_ARGB32_Premultiplied);
    mirror.fill(Qt::transparent);
    QPainter m(&mirror);
    m.setTransform(toDevice);
    m.save();
    m.translate(0, 2 * (y + st.Height) + gap);
    m.scale(1, -1);
    DrawReadout(m, text, x, y, st, Readout, QColor());
    m.restore();
    m.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    QLinearGradient fade(0, top, 0, bottom);
    fade.setColorAt(0, QColor(0, 0, 0, 110));
    fade.setColorAt(1, QColor(0, 0, 0, 0));
    m.fillRect(QRect(0, top, mirror.width(), bottom - top), fade);
    m.setCompositionMode(QPainter::CompositionMode_Clear);
    m.fillRect(QRect(0, bottom, mirror.width(), mirror.height()), Qt::transparent);
    m.end();
    p.save();
    p.resetTransform();
    p.drawImage(0, 0, mirror);
    p.restore();
}

// The antenna mark the display draws before its bars: a mast with two arms.
void DrawAntenna(QPainter& p, const QRectF& box, qreal width) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Bars, width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    const qreal mid = box.center().x(), joint = box.top() + box.height() * 0.55;
    p.drawLine(QPointF(mid, box.top() + box.height() * 0.2), QPointF(mid, box.bottom()));
    p.drawLine(QPointF(box.left(), box.top()), QPointF(mid, joint));
    p.drawLine(QPointF(box.right(), box.top()), QPointF(mid, joint));
    p.restore();
}

// The station's name under the readout: a line of yellow "words".
void DrawStationText(QPainter& p, const QRect& strip, int space) {
    const int height = std::max(2, Round(strip.height() * 0.45));
    const int y = strip.top() + (strip.height() - height) / 2;
    int x = strip.left();
    for (const double word : {0.3, 0.2, 0.24}) {
        const int w = Round(strip.width() * word);
        p.fillRect(QRect(x, y, w, height), Text);
        x += w + space;
    }
}

} // namespace

QImage DrawAppIcon(int size) {
    // Drawn at four times the size in target pixels and scaled down: rectangles on whole
    // pixels stay sharp, the case's rounded corners get smooth edges.
    const int scale = 4;
    QImage big(size * scale, size * scale, QImage::Format_ARGB32_Premultiplied);
    big.fill(Qt::transparent);
    QPainter p(&big);
    p.scale(scale, scale);

    const double s = size;
    // From 48 pixels on there is room for the display's details: reflection, antenna, text.
    const bool large = size >= 48;
    const int top = Round(s * 3 / 32);
    const QRect body(0, top, size, size - 2 * top);
    const int bezel = std::max(2, Round(s * 0.09));
    DrawCase(p, body, std::max(2.0, s * 0.14), std::max(1.0, s / 40));
    p.setRenderHint(QPainter::Antialiasing, false);

    // At 16 pixels the glass meets the case's outline at the sides, which leaves room for two
    // digits beside the bars.
    const int side = size <= 16 ? 1 : bezel;
    const QRect screen = body.adjusted(side, bezel, -side, -bezel);
    p.fillRect(screen, QColor(4, 10, 14));
    const int pad = std::max(1, Round(screen.height() * 0.1));
    const int textStrip = large ? Round(screen.height() * 0.2) : 0;
    const QRect inner = screen.adjusted(pad, pad, -pad, -pad - textStrip);

    // Columns from the right: the bars, the antenna (large only), the readout.
    const int barCount = size <= 16 ? 3 : size <= 32 ? 4 : 6;
    const int barWidth = std::max(1, Round(inner.width() * 0.26 / (2 * barCount - 1)));
    const int barsWidth = (2 * barCount - 1) * barWidth;
    const int upper = large ? Round(inner.height() * 0.55) : inner.height();
    const QRect bars(inner.right() + 1 - barsWidth, inner.top(), barsWidth, upper);
    DrawBars(p, bars, barCount, barWidth, barWidth, barCount - barCount / 3);
    const int antennaWidth = large ? Round(upper * 0.5) : 0;
    const int space = std::max(1, Round(s / 40));
    const QRect antenna(bars.left() - space - antennaWidth, inner.top(), antennaWidth, upper);
    if (large)
        DrawAntenna(p, antenna, std::max(1.0, s / 48));

    const int readoutRight = (large ? antenna.left() : bars.left()) - space * (large ? 2 : 1);
    const QRect readoutArea(inner.left(), inner.top(), readoutRight - inner.left(), upper);
    const auto [text, st] = FitReadout(readoutArea);
    const int x = readoutArea.right() + 1 - TextWidth(text, st);
    const int y = readoutArea.top() + (readoutArea.height() - st.Height) / 2;
    // Unlit segments show only where they are big enough not to blur the digits.
    DrawReadout(p, text, x, y, st, Readout, size >= 64 ? QColor(0, 26, 30) : QColor());
    if (large) {
        DrawReflection(p, text, x, y, st, inner.bottom() + 1);
        DrawStationText(p, QRect(inner.left(), inner.bottom() + 1, inner.width(), textStrip),
                        std::max(1, Round(s / 32)));
    }
    p.end();
    return big.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}
