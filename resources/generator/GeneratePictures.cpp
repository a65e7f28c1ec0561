// Draws every picture the program shows and writes them as PNG (and the About picture as
// JPEG) into the folder given on the command line. Run it after changing a drawing and commit
// its output; the build turns the committed files into the pixels compiled into the program.
//   orvalen_picture_generator <output folder>
#include "AppIcon.h"

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTransform>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <vector>

namespace {

QString OutputDir;

bool Save(const QImage& image, const QString& name) {
    const QString path = OutputDir + QLatin1Char('/') + name;
    const bool jpeg = name.endsWith(QLatin1String(".jpg"));
    const QImage out = image.convertToFormat(jpeg ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    if (!out.save(path, jpeg ? "JPG" : "PNG", jpeg ? 92 : -1)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QImage Canvas(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Icons are drawn on a 16-unit grid at four times their size and scaled down, which gives
// clean anti-aliased edges at 16 × 16.
using Drawing = std::function<void(QPainter&)>;

QImage Icon(const Drawing& draw, int size = 16) {
    const int big = size * 4;
    QImage image = Canvas(big, big);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(big / 16.0, big / 16.0);
    draw(p);
    p.end();
    return image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QLinearGradient Vertical(qreal top, qreal bottom, const QColor& a, const QColor& b) {
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

QPen Pen(const QColor& c, qreal w) {
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// --- Button and tray images -----------------------------------------------------------------

void Radio(QPainter& p, bool connected) {
    const QColor top = connected ? QColor(80, 150, 240) : QColor(175, 175, 175);
    const QColor bottom = connected ? QColor(20, 60, 140) : QColor(95, 95, 95);
    p.setPen(Pen(connected ? QColor(40, 40, 60) : QColor(90, 90, 90), 0.9));
    p.drawLine(QPointF(4.5, 5.5), QPointF(11.5, 0.9));
    p.setBrush(Vertical(5, 15, top, bottom));
    p.setPen(Pen(connected ? QColor(12, 35, 90) : QColor(70, 70, 70), 0.7));
    p.drawRoundedRect(QRectF(0.8, 5.2, 14.4, 9.6), 2.2, 2.2);
    // Display.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(10, 14, 20));
    p.drawRoundedRect(QRectF(2.4, 7.0, 6.6, 4.2), 0.8, 0.8);
    const QColor lcd = connected ? QColor(0, 255, 255) : QColor(120, 120, 120);
    p.setPen(Pen(lcd, 0.8));
    p.drawLine(QPointF(3.5, 9.1), QPointF(7.9, 9.1));
    p.drawLine(QPointF(6.2, 8.0), QPointF(6.2, 10.2));
    // Speaker.
    p.setPen(Pen(connected ? QColor(10, 30, 80) : QColor(60, 60, 60), 0.6));
    p.setBrush(connected ? QColor(30, 70, 150) : QColor(120, 120, 120));
    p.drawEllipse(QPointF(12.0, 9.6), 2.3, 2.3);
    p.setBrush(connected ? QColor(150, 200, 255) : QColor(190, 190, 190));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(12.0, 9.6), 0.8, 0.8);
    if (connected) {
        p.setBrush(QColor(60, 255, 90));
        p.drawEllipse(QPointF(3.4, 12.9), 0.7, 0.7);
    }
}

void Power(QPainter& p, bool on) {
    if (on) {
        QRadialGradient glow(QPointF(8, 8.5), 8);
        glow.setColorAt(0, QColor(80, 255, 120, 150));
        glow.setColorAt(1, QColor(80, 255, 120, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(QPointF(8, 8.5), 8, 8);
    }
    const QColor c = on ? QColor(20, 190, 60) : QColor(110, 110, 110);
    p.setBrush(Qt::NoBrush);
    p.setPen(Pen(c, 2.0));
    p.drawArc(QRectF(2.5, 3.0, 11, 11), 125 * 16, -250 * 16);
    p.drawLine(QPointF(8, 1.8), QPointF(8, 8.2));
}

void Plug(QPainter& p, bool connected) {
    const QColor body = connected ? QColor(40, 170, 70) : QColor(150, 150, 150);
    p.setPen(Pen(connected ? QColor(20, 90, 40) : QColor(90, 90, 90), 0.7));
    p.setBrush(QColor(200, 200, 205));
    p.drawRect(QRectF(5.5, 1.2, 5, 4.3));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 60, 70));
    p.drawRect(QRectF(6.5, 2.4, 1.1, 1.2));
    p.drawRect(QRectF(8.4, 2.4, 1.1, 1.2));
    p.setPen(Pen(connected ? QColor(20, 90, 40) : QColor(90, 90, 90), 0.7));
    p.setBrush(Vertical(5, 12, body.lighter(140), body));
    p.drawRoundedRect(QRectF(4.2, 5.4, 7.6, 6.6), 1.4, 1.4);
    p.setPen(Pen(QColor(50, 50, 55), 1.4));
    p.drawLine(QPointF(8, 12.2), QPointF(8, 15.4));
    if (!connected) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(215, 30, 30));
        p.drawEllipse(QPointF(12.2, 11.8), 3.3, 3.3);
        p.setPen(Pen(Qt::white, 1.1));
        p.drawLine(QPointF(10.8, 10.4), QPointF(13.6, 13.2));
        p.drawLine(QPointF(13.6, 10.4), QPointF(10.8, 13.2));
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(170, 255, 170));
        p.drawEllipse(QPointF(8, 8.6), 1.2, 1.2);
    }
}

void Speaker(QPainter& p, bool muted) {
    QPolygonF cone;
    cone << QPointF(1.5, 6) << QPointF(4.5, 6) << QPointF(8.5, 2.2) << QPointF(8.5, 13.8)
         << QPointF(4.5, 10) << QPointF(1.5, 10);
    p.setPen(Pen(QColor(30, 45, 70), 0.7));
    p.setBrush(Vertical(2, 14, QColor(140, 165, 200), QColor(50, 75, 120)));
    p.drawPolygon(cone);
    p.setBrush(Qt::NoBrush);
    if (muted) {
        p.setPen(Pen(QColor(220, 30, 30), 1.8));
        p.drawLine(QPointF(10.3, 5.6), QPointF(14.5, 10.4));
        p.drawLine(QPointF(14.5, 5.6), QPointF(10.3, 10.4));
    } else {
        p.setPen(Pen(QColor(30, 110, 220), 1.2));
        p.drawArc(QRectF(6.5, 5.0, 5, 6), 60 * 16, -120 * 16);
        p.drawArc(QRectF(6.0, 2.8, 8.5, 10.4), 60 * 16, -120 * 16);
    }
}

void Stereo(QPainter& p, bool down) {
    p.setBrush(Qt::NoBrush);
    p.setPen(Pen(down ? QColor(230, 40, 40) : QColor(120, 120, 120), 1.7));
    p.drawEllipse(QPointF(5.6, 8), 4.1, 4.1);
    p.setPen(Pen(down ? QColor(30, 110, 235) : QColor(120, 120, 120), 1.7));
    p.drawEllipse(QPointF(10.4, 8), 4.1, 4.1);
}

void Bass(QPainter& p, bool on) {
    const QColor rim = on ? QColor(255, 150, 30) : QColor(140, 140, 140);
    QRadialGradient cone(QPointF(8, 8), 6.6);
    cone.setColorAt(0, on ? QColor(90, 50, 10) : QColor(70, 70, 70));
    cone.setColorAt(0.75, on ? QColor(190, 110, 20) : QColor(150, 150, 150));
    cone.setColorAt(1, rim);
    p.setPen(Pen(on ? QColor(140, 70, 0) : QColor(80, 80, 80), 0.8));
    p.setBrush(cone);
    p.drawEllipse(QPointF(8, 8), 6.6, 6.6);
    QRadialGradient dome(QPointF(7.2, 7.2), 2.8);
    dome.setColorAt(0, on ? QColor(255, 230, 170) : QColor(225, 225, 225));
    dome.setColorAt(1, on ? QColor(220, 120, 20) : QColor(120, 120, 120));
    p.setPen(Qt::NoPen);
    p.setBrush(dome);
    p.drawEllipse(QPointF(8, 8), 2.6, 2.6);
}

void Exit(QPainter& p) {
    p.setPen(Pen(QColor(70, 40, 20), 0.8));
    p.setBrush(Vertical(1, 15, QColor(190, 130, 80), QColor(120, 70, 35)));
    p.drawRect(QRectF(1.8, 1.5, 7.4, 13));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 220, 120));
    p.drawEllipse(QPointF(7.6, 8.4), 0.8, 0.8);
    p.setPen(Pen(QColor(210, 30, 30), 1.9));
    p.drawLine(QPointF(7.5, 8), QPointF(14.2, 8));
    p.drawLine(QPointF(11.4, 5.0), QPointF(14.4, 8));
    p.drawLine(QPointF(11.4, 11.0), QPointF(14.4, 8));
}

void Equalizer(QPainter& p, bool down) {
    const qreal xs[3] = {3.5, 8, 12.5};
    const qreal knobs[3] = {9.5, 4.5, 11};
    const QColor lit[3] = {QColor(40, 200, 70), QColor(250, 200, 30), QColor(235, 60, 40)};
    for (int i = 0; i < 3; ++i) {
        p.setPen(Pen(down ? QColor(30, 60, 130) : QColor(110, 110, 110), 1.1));
        p.drawLine(QPointF(xs[i], 1.5), QPointF(xs[i], 14.5));
        p.setPen(Pen(down ? lit[i].darker(160) : QColor(80, 80, 80), 0.6));
        p.setBrush(down ? lit[i] : QColor(200, 200, 200));
        p.drawRoundedRect(QRectF(xs[i] - 2, knobs[i] - 1.3, 4, 2.6), 0.8, 0.8);
    }
}

// The equalizer window's icon: five band levels.
void EqualizerWindow(QPainter& p) {
    const qreal heights[5] = {7, 11, 13, 9, 5};
    for (int i = 0; i < 5; ++i) {
        const QRectF bar(1.2 + 2.8 * i, 15 - heights[i], 2.2, heights[i]);
        p.setPen(Pen(QColor(20, 50, 110), 0.5));
        p.setBrush(Vertical(2, 15, QColor(235, 60, 40), QColor(40, 190, 70)));
        p.drawRect(bar);
    }
}

// The About button: an "i" in a round blue badge.
void Information(QPainter& p) {
    QRadialGradient badge(QPointF(6.4, 5.6), 8.5);
    badge.setColorAt(0, QColor(120, 185, 255));
    badge.setColorAt(1, QColor(25, 80, 190));
    p.setPen(Pen(QColor(15, 45, 120), 0.8));
    p.setBrush(badge);
    p.drawEllipse(QPointF(8, 8), 7.1, 7.1);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 4.6), 1.35, 1.35);
    p.drawRoundedRect(QRectF(6.9, 6.8, 2.2, 6.2), 0.5, 0.5);
    p.drawRect(QRectF(6.0, 6.8, 1.5, 1.2));
    p.drawRect(QRectF(5.9, 11.8, 4.2, 1.2));
}

// The Options button: a gear.
void Gear(QPainter& p) {
    constexpr int Teeth = 8;
    QPainterPath wheel;
    wheel.setFillRule(Qt::WindingFill);
    wheel.addEllipse(QPointF(8, 8), 5.3, 5.3);
    for (int i = 0; i < Teeth; ++i) {
        QTransform turn;
        turn.translate(8, 8);
        turn.rotate(360.0 / Teeth * i);
        QPainterPath tooth;
        tooth.addRoundedRect(QRectF(-1.45, -7.4, 2.9, 3.4), 0.5, 0.5);
        wheel.addPath(turn.map(tooth));
    }
    wheel = wheel.simplified();
    QPainterPath hole;
    hole.addEllipse(QPointF(8, 8), 2.1, 2.1);
    QRadialGradient metal(QPointF(6.2, 5.8), 9);
    metal.setColorAt(0, QColor(225, 232, 245));
    metal.setColorAt(1, QColor(85, 105, 140));
    p.setPen(Pen(QColor(35, 50, 80), 0.8));
    p.setBrush(metal);
    p.drawPath(wheel.subtracted(hole));
}

// --- Station list images --------------------------------------------------------------------

// Lines drawn first wide and dark, then narrower and bright over it: an outlined stroke.
void OutlinedLines(QPainter& p, const std::vector<QLineF>& lines, const QPen& outline,
                   const QPen& fill) {
    for (const QPen& pen : {outline, fill}) {
        p.setPen(pen);
        for (const QLineF& line : lines)
            p.drawLine(line);
    }
}

// The station-list button: a list, a marked line per station.
void StationList(QPainter& p) {
    for (int i = 0; i < 3; ++i) {
        const double y = 3.6 + 4.4 * i;
        p.setPen(Pen(QColor(35, 60, 120), 0.7));
        p.setBrush(QColor(95, 155, 235));
        p.drawEllipse(QPointF(3.0, y), 1.6, 1.6);
        OutlinedLines(p, {{6.6, y, 14.2, y}}, Pen(QColor(35, 60, 120), 2.6),
                      Pen(QColor(150, 190, 245), 1.0));
    }
}

void Add(QPainter& p) {
    OutlinedLines(p, {{8, 2.5, 8, 13.5}, {2.5, 8, 13.5, 8}}, Pen(QColor(20, 120, 40), 4.2),
                  Pen(QColor(70, 205, 90), 2.4));
}

void Edit(QPainter& p) {
    p.translate(8, 8);
    p.rotate(45);
    p.setPen(Pen(QColor(90, 60, 10), 0.6));
    p.setBrush(Vertical(-1.8, 1.8, QColor(255, 220, 80), QColor(220, 150, 20)));
    p.drawRect(QRectF(-5, -1.8, 9, 3.6));
    p.setBrush(QColor(240, 140, 160));
    p.drawRect(QRectF(4, -1.8, 2.6, 3.6));
    QPolygonF tip;
    tip << QPointF(-5, -1.8) << QPointF(-8.2, 0) << QPointF(-5, 1.8);
    p.setBrush(QColor(240, 210, 170));
    p.drawPolygon(tip);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    p.drawPolygon(QPolygonF() << QPointF(-7, -0.7) << QPointF(-8.2, 0) << QPointF(-7, 0.7));
}

void Delete(QPainter& p) {
    OutlinedLines(p, {{3.5, 3.5, 12.5, 12.5}, {12.5, 3.5, 3.5, 12.5}},
                  Pen(QColor(140, 10, 10), 4.0), Pen(QColor(235, 50, 40), 2.3));
}

void Sort(QPainter& p) {
    p.setPen(Pen(QColor(40, 70, 130), 1.5));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(1.8, 3 + 3.3 * i), QPointF(3.5 + 2.2 * i, 3 + 3.3 * i));
    p.setPen(Pen(QColor(30, 140, 60), 1.6));
    p.drawLine(QPointF(12.5, 2), QPointF(12.5, 13.5));
    p.setBrush(QColor(30, 140, 60));
    p.setPen(Pen(QColor(30, 140, 60), 0.8));
    p.drawPolygon(QPolygonF() << QPointF(9.5, 10.8) << QPointF(15.5, 10.8) << QPointF(12.5, 14.8));
}

void Star(QPainter& p) {
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const double a = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
        const double r = i % 2 ? 3.1 : 7.4;
        star << QPointF(8 + r * std::cos(a), 8.6 + r * std::sin(a));
    }
    QRadialGradient g(QPointF(7, 6.5), 7.5);
    g.setColorAt(0, QColor(255, 250, 170));
    g.setColorAt(1, QColor(255, 190, 0));
    p.setPen(Pen(QColor(200, 110, 0), 0.8));
    p.setBrush(g);
    p.drawPolygon(star);
}

// Lettering is drawn at its own size (hinted) rather than scaled down.
QImage Lettering(const QString& text, const QColor& fill, const QColor& shadow, int pixels,
                 qreal stretch) {
    QImage image = Canvas(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(pixels);
    font.setBold(true);
    font.setStretch(int(stretch * 100));
    p.setFont(font);
    const QRect box(0, 0, 16, 16);
    p.setPen(shadow);
    p.drawText(box.translated(1, 1), Qt::AlignCenter, text);
    p.setPen(fill);
    p.drawText(box, Qt::AlignCenter, text);
    return image;
}

// --- Slider pictures ------------------------------------------------------------------------

// The glassy bar of the tuning scales: white at both ends, blue in the middle.
void GlassBar(QPainter& p, const QRectF& r) {
    QLinearGradient across(r.left(), 0, r.right(), 0);
    across.setColorAt(0.0, QColor(250, 252, 255));
    across.setColorAt(0.22, QColor(90, 150, 235));
    across.setColorAt(0.5, QColor(25, 80, 200));
    across.setColorAt(0.78, QColor(90, 150, 235));
    across.setColorAt(1.0, QColor(250, 252, 255));
    const qreal radius = r.height() / 2;
    p.setPen(Pen(QColor(30, 55, 110), 1.0));
    p.setBrush(across);
    p.drawRoundedRect(r, radius, radius);
    // The glass: a soft white sheen over the upper half.
    QRectF sheen(r.left() + 2, r.top() + 1.2, r.width() - 4, r.height() * 0.45);
    p.setPen(Qt::NoPen);
    p.setBrush(Vertical(sheen.top(), sheen.bottom(), QColor(255, 255, 255, 200),
                        QColor(255, 255, 255, 30)));
    p.drawRoundedRect(sheen, sheen.height() / 2, sheen.height() / 2);
}

// The needle (3 pixels wide) of position P sits at offset nearest(237 / range · P); its
// middle pixel is one to the right. The scale's ticks are drawn under that pixel.
int NeedleMiddle(int position, int range) {
    return int(std::nearbyint(237.0 / range * position)) + 1;
}

QImage TuningScale(double low, int range, const std::vector<std::pair<double, QString>>& labels,
                   double firstWhole) {
    QImage image = Canvas(240, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    GlassBar(p, QRectF(0.5, 1.5, 239, 12));
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor ink(35, 45, 70);
    p.setPen(ink);
    auto positionOf = [&](double mhz) { return int(std::lround((mhz - low) * 10)); };
    // A small tick at every whole megahertz, a long one at each label.
    for (double mhz = firstWhole; positionOf(mhz) <= range; mhz += 1.0) {
        const int x = NeedleMiddle(positionOf(mhz), range);
        p.drawLine(x, 16, x, 18);
    }
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(10);
    font.setBold(true);
    p.setFont(font);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QFontMetrics metrics(font);
    for (const auto& [mhz, text] : labels) {
        const int x = NeedleMiddle(positionOf(mhz), range);
        p.drawLine(x, 15, x, 20);
        const int w = metrics.horizontalAdvance(text);
        const int left = std::clamp(x - w / 2, 0, 240 - w);
        p.drawText(QRect(left, 20, w, 12), Qt::AlignLeft | Qt::AlignTop, text);
    }
    return image;
}

QImage TuningNeedle() {
    QImage image = Canvas(3, 48);
    for (int y = 0; y < 48; ++y) {
        // A little lighter at the top, where it shows over the glass.
        const int shade = y < 14 ? 30 : 0;
        image.setPixelColor(0, y, QColor(235, 40 + shade, 40 + shade, 235));
        image.setPixelColor(1, y, QColor(110, 0, 0));
        image.setPixelColor(2, y, QColor(200, 20 + shade, 20 + shade, 235));
    }
    image.setPixelColor(0, 0, QColor(235, 40, 40, 110));
    image.setPixelColor(2, 0, QColor(200, 20, 20, 110));
    return image;
}

QImage VolumeScale() {
    QImage image = Canvas(125, 22);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0.5, 6.5, 124, 9);
    QLinearGradient fill(r.left(), 0, r.right(), 0);
    fill.setColorAt(0, QColor(252, 253, 255));
    fill.setColorAt(0.5, QColor(110, 165, 240));
    fill.setColorAt(1, QColor(20, 70, 200));
    p.setPen(Pen(QColor(30, 55, 110), 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(r, 4.5, 4.5);
    const QRectF sheen(r.left() + 2, r.top() + 1, r.width() - 4, 3.2);
    p.setPen(Qt::NoPen);
    p.setBrush(Vertical(sheen.top(), sheen.bottom(), QColor(255, 255, 255, 190),
                        QColor(255, 255, 255, 20)));
    p.drawRoundedRect(sheen, 1.6, 1.6);
    return image;
}

QImage VolumeKnob() {
    QImage image = Canvas(10, 22);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0.5, 0, 9.5, 0);
    g.setColorAt(0, QColor(255, 255, 255));
    g.setColorAt(0.6, QColor(215, 225, 240));
    g.setColorAt(1, QColor(165, 180, 210));
    p.setPen(Pen(QColor(25, 75, 190), 1.0));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, 9, 21), 2.5, 2.5);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(25, 75, 190));
    p.drawLine(4, 5, 4, 16);
    p.setPen(QColor(255, 255, 255));
    p.drawLine(5, 5, 5, 16);
    return image;
}

QImage EqualizerSlide() {
    QImage image = Canvas(18, 140);
    QPainter p(&image);
    // Ticks where the knob's middle stands for every fifth position (-15, -10, ... 15):
    // offset nearest(130 / 30 · (position + 15)), middle 5 pixels lower.
    const QColor ink(60, 70, 95);
    for (int position = -15; position <= 15; position += 5) {
        const int y = int(std::nearbyint(130.0 / 30 * (position + 15))) + 5;
        const int len = position == 0 ? 4 : 3;
        p.setPen(position == 0 ? QColor(20, 30, 60) : ink);
        p.drawLine(0, y, len - 1, y);
        p.drawLine(18 - len, y, 17, y);
    }
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(6.5, 2.5, 5, 135);
    QLinearGradient across(r.left(), 0, r.right(), 0);
    across.setColorAt(0, QColor(235, 242, 255));
    across.setColorAt(0.45, QColor(80, 140, 230));
    across.setColorAt(1, QColor(20, 60, 170));
    p.setPen(Pen(QColor(30, 55, 110), 1.0));
    p.setBrush(across);
    p.drawRoundedRect(r, 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawRoundedRect(QRectF(7.6, 4, 1.4, 132), 0.7, 0.7);
    return image;
}

QImage EqualizerKnob() {
    QImage image = Canvas(18, 10);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(7, 3), 11);
    g.setColorAt(0, QColor(255, 255, 255));
    g.setColorAt(0.7, QColor(200, 212, 235));
    g.setColorAt(1, QColor(140, 160, 200));
    p.setPen(Pen(QColor(25, 70, 170), 1.0));
    p.setBrush(g);
    p.drawEllipse(QRectF(0.5, 0.5, 17, 9));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(25, 70, 170));
    p.drawLine(4, 4, 13, 4);
    p.setPen(QColor(255, 255, 255));
    p.drawLine(4, 5, 13, 5);
    return image;
}

// --- The About picture ----------------------------------------------------------------------

QImage AboutPicture() {
    QImage image(110, 124, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient back(0, 0, 110, 124);
    back.setColorAt(0, QColor(236, 242, 250));
    back.setColorAt(1, QColor(190, 205, 225));
    p.fillRect(image.rect(), back);
    // Shadow on the table.
    QRadialGradient shadow(QPointF(60, 112), 40);
    shadow.setColorAt(0, QColor(40, 50, 70, 120));
    shadow.setColorAt(1, QColor(40, 50, 70, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shadow);
    p.drawEllipse(QPointF(60, 112), 44, 9);
    // Antenna wire leaving the bottom and curling to the right.
    QPainterPath wire(QPointF(56, 104));
    wire.cubicTo(QPointF(58, 122), QPointF(92, 118), QPointF(96, 98));
    wire.cubicTo(QPointF(99, 82), QPointF(88, 74), QPointF(100, 60));
    p.setBrush(Qt::NoBrush);
    p.setPen(Pen(QColor(25, 25, 30), 2.2));
    p.drawPath(wire);
    p.setPen(Pen(QColor(120, 120, 130), 0.8));
    p.drawPath(wire.translated(-0.6, -0.6));
    p.setPen(Pen(QColor(30, 30, 35), 1));
    p.setBrush(Vertical(54, 62, QColor(200, 200, 205), QColor(110, 110, 120)));
    p.drawRoundedRect(QRectF(97, 52, 6, 10), 1.5, 1.5);
    // The USB plug.
    p.setPen(Pen(QColor(90, 95, 105), 0.8));
    QLinearGradient metal(36, 0, 76, 0);
    metal.setColorAt(0, QColor(150, 155, 165));
    metal.setColorAt(0.35, QColor(245, 247, 250));
    metal.setColorAt(1, QColor(130, 135, 145));
    p.setBrush(metal);
    p.drawRect(QRectF(38.5, 6.5, 33, 24));
    p.setBrush(QColor(40, 45, 55));
    p.drawRect(QRectF(45, 12, 7, 4));
    p.drawRect(QRectF(58, 12, 7, 4));
    // The body.
    const QRectF body(28.5, 28.5, 53, 78);
    QLinearGradient plastic(body.left(), 0, body.right(), 0);
    plastic.setColorAt(0, QColor(16, 22, 36));
    plastic.setColorAt(0.3, QColor(44, 58, 90));
    plastic.setColorAt(0.55, QColor(24, 32, 52));
    plastic.setColorAt(1, QColor(8, 12, 22));
    p.setPen(Pen(QColor(5, 8, 15), 1.0));
    p.setBrush(plastic);
    p.drawRoundedRect(body, 9, 9);
    p.setPen(Qt::NoPen);
    p.setBrush(Vertical(30, 60, QColor(255, 255, 255, 70), QColor(255, 255, 255, 0)));
    p.drawRoundedRect(QRectF(31, 30.5, 22, 60), 7, 7);
    // Its little display.
    const QRectF lcd(35, 44, 40, 17);
    p.setPen(Pen(QColor(70, 80, 100), 1.0));
    p.setBrush(QColor(3, 8, 12));
    p.drawRoundedRect(lcd, 2, 2);
    QFont digits(QStringLiteral("P052"));
    digits.setPixelSize(13);
    p.setFont(digits);
    p.setPen(QColor(0, 255, 255));
    p.drawText(lcd.adjusted(0, 1, -2, 0), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("101.7"));
    QFont small(QStringLiteral("Liberation Sans"));
    small.setPixelSize(8);
    small.setBold(true);
    p.setFont(small);
    p.setPen(QColor(0, 200, 255));
    p.drawText(QRectF(28, 66, 54, 10), Qt::AlignCenter, QStringLiteral("FM TUNER"));
    p.setPen(QColor(150, 165, 190));
    small.setPixelSize(7);
    small.setBold(false);
    p.setFont(small);
    p.drawText(QRectF(28, 77, 54, 9), Qt::AlignCenter, QStringLiteral("USB  88-108"));
    // Status LED with its glow.
    QRadialGradient led(QPointF(55, 95), 6);
    led.setColorAt(0, QColor(180, 255, 200, 255));
    led.setColorAt(0.3, QColor(40, 220, 90, 220));
    led.setColorAt(1, QColor(40, 220, 90, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(led);
    p.drawEllipse(QPointF(55, 95), 6, 6);
    p.end();
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    OutputDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(OutputDir);

    const Drawing list1[15] = {
        [](QPainter& p) { Radio(p, false); },
        [](QPainter& p) { Radio(p, true); },
        [](QPainter& p) { Power(p, false); },
        [](QPainter& p) { Power(p, true); },
        [](QPainter& p) { Plug(p, false); },
        [](QPainter& p) { Plug(p, true); },
        [](QPainter& p) { Speaker(p, false); },
        [](QPainter& p) { Speaker(p, true); },
        [](QPainter& p) { Stereo(p, false); },
        [](QPainter& p) { Stereo(p, true); },
        [](QPainter& p) { Bass(p, false); },
        [](QPainter& p) { Bass(p, true); },
        [](QPainter& p) { Exit(p); },
        [](QPainter& p) { Equalizer(p, false); },
        [](QPainter& p) { Equalizer(p, true); },
    };
    bool ok = true;
    for (int i = 0; i < 15; ++i)
        ok &= Save(Icon(list1[i]), QString::asprintf("imagelist1_%02d.png", i));
    const Drawing list2[5] = {Add, Edit, Delete, Sort, Star};
    for (int i = 0; i < 5; ++i)
        ok &= Save(Icon(list2[i]), QString::asprintf("imagelist2_%02d.png", i));
    ok &= Save(Lettering(QStringLiteral("FM"), QColor(20, 80, 220), QColor(160, 190, 240), 11, 1.0),
               QStringLiteral("imagelist2_05.png"));
    ok &= Save(Lettering(QStringLiteral("УКВ"), QColor(20, 150, 50), QColor(150, 150, 150), 9, 0.8),
               QStringLiteral("imagelist2_06.png"));

    ok &= Save(TuningScale(88.0, 200,
                           {{88, "88"}, {95, "95"}, {100, "100"}, {105, "105"}, {108, "108"}}, 89),
               QStringLiteral("trackbar_0_fm_scale.png"));
    ok &= Save(TuningNeedle(), QStringLiteral("trackbar_1_tuning_needle.png"));
    ok &= Save(TuningScale(65.9, 81, {{65.9, "65.9"}, {70, "70"}, {74, "74"}}, 66),
               QStringLiteral("trackbar_2_ukv_scale.png"));
    ok &= Save(VolumeScale(), QStringLiteral("trackbar_3_volume_scale.png"));
    ok &= Save(VolumeKnob(), QStringLiteral("trackbar_4_volume_knob.png"));
    ok &= Save(EqualizerSlide(), QStringLiteral("equalizer_slide.png"));
    ok &= Save(EqualizerKnob(), QStringLiteral("equalizer_knob.png"));
    ok &= Save(Icon(EqualizerWindow), QStringLiteral("equalizer_icon.png"));
    ok &= Save(Icon([](QPainter& p) { Radio(p, true); }, 64), QStringLiteral("window_icon.png"));
    ok &= Save(AboutPicture(), QStringLiteral("about.jpg"));
    ok &= Save(Icon(Information), QStringLiteral("about_button.png"));
    ok &= Save(Icon(Gear), QStringLiteral("options_button.png"));
    ok &= Save(Icon(StationList), QStringLiteral("list_button.png"));
    for (const int size : AppIconSizes)
        ok &= Save(DrawAppIcon(size), QStringLiteral("app_icon_%1.png").arg(size));
    return ok ? 0 : 1;
}
