#include "controls/OrvalenScreen.h"

#include "controls/Reflection.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int ColumnWidth = 25;
constexpr int ColumnRows = 37;
constexpr int TextPanelTop = 56;
constexpr int NameRight = 153;

// Font sizes are given in points of a 96-dpi screen; the screen's pixel layout was measured
// there, so the pixel height is fixed instead of following the desktop's dpi.
int PointsToPixels(int points) {
    return (points * 96 + 36) / 72;
}

QFont AtPoints(QFont font, int points) {
    font.setPixelSize(PointsToPixels(points));
    return font;
}

QFont InPixels(const QFont& font) {
    return font.pointSize() > 0 ? AtPoints(font, font.pointSize()) : font;
}

QFont MakeFont(const char* family, int points, bool bold) {
    QFont font(QString::fromLatin1(family));
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

void RegisterFontSubstitutes() {
    // "Book Antiqua" is a Palatino design; P052 is the free one with the same metrics.
    static const bool done = [] {
        QFont::insertSubstitution(QStringLiteral("Book Antiqua"), QStringLiteral("P052"));
        return true;
    }();
    (void)done;
}

void PutPixel(QImage& image, int x, int y, QRgb colour) {
    if (x >= 0 && y >= 0 && x < image.width() && y < image.height())
        reinterpret_cast<QRgb*>(image.scanLine(y))[x] = colour;
}

// A line whose end point is not drawn, as a pen moved with LineTo draws it.
void LineTo(QImage& image, int x0, int y0, int x1, int y1, QRgb colour) {
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
        PutPixel(image, x0, y0, colour);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// A level column picture: segment k = 1..8 covers rows 4k..4k+2, full width, corners cut.
QImage MakeColumn(bool lit) {
    QImage image(ColumnWidth, ColumnRows, QImage::Format_BGR888);
    image.fill(Qt::black);
    for (int k = 1; k <= 8; ++k) {
        const QColor colour = !lit     ? QColor(128, 128, 128)
                              : k <= 2 ? QColor(255, 0, 0)
                              : k <= 4 ? QColor(255, 255, 0)
                                       : QColor(0, 255, 255);
        const int top = 4 * k;
        for (int y = top; y < top + 3; ++y)
            for (int x = 0; x < ColumnWidth; ++x) {
                const bool edgeRow = y != top + 1;
                const bool edgeCol = x == 0 || x == ColumnWidth - 1;
                if (edgeRow && edgeCol)
                    continue; // the rounded corner
                if (lit || edgeRow || edgeCol)
                    image.setPixelColor(x, y, colour);
            }
    }
    return image;
}

// Copies `count` rows of a column picture from row `from` to frame row `to` at x0, clipped.
void CopyColumnRows(const QImage& column, int from, int count, QImage& frame, int x0, int to) {
    const int left = std::max(0, -x0);
    const int right = std::min(column.width(), frame.width() - x0);
    if (right <= left)
        return;
    for (int r = 0; r < count; ++r) {
        const int src = from + r, dst = to + r;
        if (src < 0 || src >= column.height() || dst < 0 || dst >= frame.height())
            continue;
        std::memcpy(frame.scanLine(dst) + (x0 + left) * 3, column.constScanLine(src) + left * 3,
                    std::size_t(right - left) * 3);
    }
}

} // namespace

TOrvalenScreen::TOrvalenScreen(QWidget* parent) : QWidget(parent) {
    RegisterFontSubstitutes();
    FFreqFont = MakeFont("Book Antiqua", 28, false);
    FTextFont = MakeFont("Arial", 12, false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(244, 75);
    FColumnOff = MakeColumn(false);
    FColumnOn = MakeColumn(true);
    FMirror = QImage(244, Reflection::TopBandRows, QImage::Format_BGR888);
    Paint();
}

// Setters ------------------------------------------------------------------------------------

#define ORVALEN_FULL_PAINT_SETTER(Name, Type, Field)                                               \
    void TOrvalenScreen::Set##Name(Type value) {                                                   \
        if (Field == value)                                                                        \
            return;                                                                                \
        Field = value;                                                                             \
        Paint();                                                                                   \
    }

ORVALEN_FULL_PAINT_SETTER(TuneValue, int, FTuneValue)
ORVALEN_FULL_PAINT_SETTER(TunerState, bool, FTunerState)
ORVALEN_FULL_PAINT_SETTER(IsStereo, bool, FIsStereo)
ORVALEN_FULL_PAINT_SETTER(IsFmStyle, bool, FIsFmStyle)
ORVALEN_FULL_PAINT_SETTER(DisabledColor, const QColor&, FDisabledColor)
ORVALEN_FULL_PAINT_SETTER(StereoColor, const QColor&, FStereoColor)
ORVALEN_FULL_PAINT_SETTER(LevelColor, const QColor&, FLevelColor)
ORVALEN_FULL_PAINT_SETTER(FreqFont, const QFont&, FFreqFont)
ORVALEN_FULL_PAINT_SETTER(FreqFontColor, const QColor&, FFreqFontColor)
#undef ORVALEN_FULL_PAINT_SETTER

void TOrvalenScreen::SetTuneLevel(int value) {
    value = std::clamp(value, 0, 15);
    if (value == FTuneLevel)
        return;
    FTuneLevel = value;
    Paint();
}

void TOrvalenScreen::SetRDSEnabled(bool value) {
    FRDSEnabled = value;
    Paint();
}

void TOrvalenScreen::SetRDSString(const QString& value) {
    FRDSString = value;
    Paint();
}

void TOrvalenScreen::SetText(const QString& value) {
    if (value == FText)
        return;
    FText = value;
    UpdateTextPanel();
}

void TOrvalenScreen::SetTextFont(const QFont& value) {
    if (value == FTextFont)
        return;
    FTextFont = value;
    UpdateTextPanel();
}

void TOrvalenScreen::SetTextFontColor(const QColor& value) {
    if (value == FTextFontColor)
        return;
    FTextFontColor = value;
    UpdateTextPanel();
}

void TOrvalenScreen::SetBackColor(const QColor& value) {
    if (value == FBackColor)
        return;
    FBackColor = value;
    FFramePending = true;
    update();
}

void TOrvalenScreen::SetBorderStyle(TBorderStyle value) {
    if (value == FBorderStyle)
        return;
    FBorderStyle = value;
    FFramePending = true;
    update();
}

void TOrvalenScreen::SetVolumeLeft(int value) {
    value = std::clamp(value, 0, 8);
    if (value == FVolumeLeft)
        return;
    FVolumeLeft = value;
    UpdateColumn(true);
}

void TOrvalenScreen::SetVolumeRight(int value) {
    value = std::clamp(value, 0, 8);
    if (value == FVolumeRight)
        return;
    FVolumeRight = value;
    UpdateColumn(false);
}

void TOrvalenScreen::SetPeekLeft(int value) {
    value = std::clamp(value, 0, 8);
    if (value == FPeekLeft)
        return;
    FPeekLeft = value;
    UpdateColumn(true);
}

void TOrvalenScreen::SetPeekRight(int value) {
    value = std::clamp(value, 0, 8);
    if (value == FPeekRight)
        return;
    FPeekRight = value;
    UpdateColumn(false);
}

// Drawing ------------------------------------------------------------------------------------

void TOrvalenScreen::Paint() {
    const int w = width(), h = height();
    if (FFrame.size() != QSize(w, h)) {
        FFrame = QImage(w, h, QImage::Format_BGR888);
        FPaintImage = QImage(w, h, QImage::Format_RGB32);
    }
    if (w <= 0 || h <= 0)
        return;
    FPaintImage.fill(FBackColor);
    int x = 0;
    {
        QPainter painter(&FPaintImage);
        x = DrawTopBand(painter);
        DrawTextPanel(painter);
    }
    DrawAntennaAndBars(x);
    ConvertRows(0, h);
    DrawColumn(5, FVolumeLeft, FPeekLeft);
    DrawColumn(w - 30, FVolumeRight, FPeekRight);
    Reflection::DrawReflection(FFrame, FMirror);
    if (FBorderStyle == bsSingle)
        DrawBorder();
    FFramePending = false;
    ++FRedrawCount;
    CopyToControl();
}

int TOrvalenScreen::DrawTopBand(QPainter& painter) {
    const QColor active = FTunerState ? FFreqFontColor : FDisabledColor;
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(FBackColor);

    const QFont small = AtPoints(FFreqFont, 8);
    painter.setFont(small);
    const QFontMetrics smallMetrics(small);
    const int u = smallMetrics.horizontalAdvance(QStringLiteral("УКВ"));
    painter.setPen(FIsFmStyle ? active : FDisabledColor);
    painter.drawText(QRect(36, 24, u, 13), Qt::AlignRight | Qt::AlignTop, QStringLiteral("FM"));
    painter.setPen(FIsFmStyle ? FDisabledColor : active);
    painter.drawText(QRect(36, 7, u, 16), Qt::AlignRight | Qt::AlignTop, QStringLiteral("УКВ"));

    const QFont big = InPixels(FFreqFont);
    painter.setFont(big);
    const QFontMetrics bigMetrics(big);
    QString text = QString::asprintf("%4d", FTuneValue);
    text.insert(3, QLatin1Char('.'));
    const int f = 36 + u + 3;
    const int w = bigMetrics.horizontalAdvance(QStringLiteral("000.0"));
    painter.setPen(active);
    painter.drawText(QRect(f, 0, w, 46), Qt::AlignRight | Qt::AlignTop, text);

    painter.setFont(small);
    const int m = f + w + 2;
    const int mhz = smallMetrics.horizontalAdvance(QStringLiteral("Mhz"));
    painter.setPen(FTunerState ? FFreqFontColor : FDisabledColor);
    painter.drawText(QRect(m, 24, mhz, 13), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Mhz"));
    const int x = m + mhz + 2;

    static const QFont labels = InPixels(MakeFont("Arial", 7, true));
    painter.setFont(labels);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip;
    painter.setPen(FIsStereo && FTunerState ? FStereoColor : FDisabledColor);
    painter.drawText(QRect(x, 5, 0, 0), flags, QStringLiteral("STEREO"));
    painter.setPen(FRDSEnabled && FTunerState ? FStereoColor : FDisabledColor);
    painter.drawText(QRect(x - 23, 5, 0, 0), flags, QStringLiteral("RDS"));
    return x;
}

void TOrvalenScreen::DrawAntennaAndBars(int x) {
    const QRgb antenna = (FTunerState ? FLevelColor : FDisabledColor).rgb();
    LineTo(FPaintImage, x + 4, 20, x + 4, 35, antenna);
    LineTo(FPaintImage, x + 1, 20, x + 4, 30, antenna);
    LineTo(FPaintImage, x + 4, 30, x + 8, 19, antenna);
    const QRgb lit = FLevelColor.rgb(), unlit = FDisabledColor.rgb();
    for (int i = 1; i <= 10; ++i) {
        const int h = i + i / 2;
        const QRgb colour = i <= FTuneLevel && FTunerState ? lit : unlit;
        for (int y = 36 - h; y < 36; ++y)
            PutPixel(FPaintImage, x + 6 + 3 * i, y, colour);
    }
}

void TOrvalenScreen::DrawTextPanel(QPainter& painter) {
    const int w = width(), h = height();
    painter.fillRect(QRect(0, TextPanelTop, w, h - TextPanelTop), FBackColor);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(FBackColor);
    painter.setFont(InPixels(FTextFont));
    painter.setPen(FTunerState ? FTextFontColor : FDisabledColor);
    const int flags = Qt::AlignLeft | Qt::AlignTop;
    const QRect name(3, 57, NameRight - 3, h - 57);
    painter.setClipRect(name);
    painter.drawText(name, flags, FText);
    if (FRDSEnabled) {
        const QRect rds(155, 57, w - 155, h - 57);
        painter.setClipRect(rds);
        painter.drawText(rds, flags, FRDSString);
    }
    painter.setClipping(false);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setPen(FDisabledColor);
    painter.drawLine(0, TextPanelTop, w - 1, TextPanelTop);
    if (FRDSEnabled)
        painter.drawLine(NameRight, TextPanelTop, NameRight, h - 1);
}

void TOrvalenScreen::DrawColumn(int x0, int volume, int peek) {
    CopyColumnRows(FColumnOff, 0, ColumnRows, FFrame, x0, 1);
    if (!FTunerState)
        return;
    const int t = 36 - 4 * volume;
    CopyColumnRows(FColumnOn, t, 37 - t, FFrame, x0, t + 1);
    if (peek > volume) {
        const int q = 36 - 4 * (peek % 9);
        CopyColumnRows(FColumnOn, q, 4, FFrame, x0, q + 1);
    }
}

void TOrvalenScreen::DrawBorder() {
    const QColor colour = palette().color(QPalette::Window);
    const uchar bgr[3] = {uchar(colour.blue()), uchar(colour.green()), uchar(colour.red())};
    const int w = FFrame.width(), h = FFrame.height();
    auto put = [&](int x, int y) { std::memcpy(FFrame.scanLine(y) + x * 3, bgr, 3); };
    for (int x = 0; x < w; ++x) {
        put(x, 0);
        put(x, h - 1);
    }
    for (int y = 0; y < h; ++y) {
        put(0, y);
        put(w - 1, y);
    }
}

// The 32-bit image holds B, G, R, X per pixel in memory; the frame keeps B, G, R.
void TOrvalenScreen::ConvertRows(int first, int last) {
    const int w = FFrame.width();
    for (int y = std::max(first, 0); y < last && y < FFrame.height(); ++y) {
        const uchar* src = FPaintImage.constScanLine(y);
        uchar* dst = FFrame.scanLine(y);
        for (int x = 0; x < w; ++x, src += 4, dst += 3) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    }
}

void TOrvalenScreen::UpdateTextPanel() {
    if (FFramePending || FFrame.size() != size()) {
        Paint();
        return;
    }
    {
        QPainter painter(&FPaintImage);
        DrawTextPanel(painter);
    }
    ConvertRows(TextPanelTop, height());
    ++FRedrawCount;
    CopyToControl();
}

void TOrvalenScreen::UpdateColumn(bool left) {
    if (FFramePending || FFrame.size() != size()) {
        Paint();
        return;
    }
    if (left)
        DrawColumn(5, FVolumeLeft, FPeekLeft);
    else
        DrawColumn(width() - 30, FVolumeRight, FPeekRight);
    Reflection::DrawReflection(FFrame, FMirror);
    ++FRedrawCount;
    CopyToControl();
}

void TOrvalenScreen::CopyToControl() {
    update();
}

void TOrvalenScreen::paintEvent(QPaintEvent*) {
    // The frame already holds everything the properties say; the window system only needs
    // it copied again, unless the size or the background changed since it was drawn.
    if (FFramePending || FFrame.size() != size())
        Paint();
    QPainter painter(this);
    painter.drawImage(0, 0, FFrame);
}

void TOrvalenScreen::resizeEvent(QResizeEvent*) {
    FFramePending = true;
}
