#include "controls/OrvalenScreen.h"

#include "controls/AccessibleControls.h"
#include "controls/Reflection.h"
#include "controls/SharpPicture.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QPaintEvent>
#include <QPainter>
#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

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

// The face the display draws with, named by a family the machine has (of `installed`). A
// family it lacks ("Book Antiqua", "Arial") takes its registered substitute here: given the
// lacking name, Qt first sorts every face of the machine in search of one (a few milliseconds
// at start-up) before it comes to the substitutes, and ends with the same face. The list is
// asked once for all the faces: asking the font database for one family goes through the
// system's aliases, which costs nearly as much.
QFont WithInstalledFamily(QFont font, const QStringList& installed) {
    const QString family = font.family();
    if (installed.contains(family))
        return font;
    for (const QString& substitute : QFont::substitutes(family))
        if (installed.contains(substitute)) {
            font.setFamily(substitute);
            break;
        }
    return font;
}

// For the display's fixed texts (digits, band marks, unit, RDS and STEREO), which its faces
// have: no list of other faces to take missing letters from, whose making sorts every face of
// the machine (for "УКВ", as for any text outside the Latin script, at its first use). The
// station and RDS names may be in any script and keep the list.
QFont OwnGlyphsOnly(QFont font) {
    font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::NoFontMerging));
    return font;
}

QFont MakeFont(const char* family, int points, bool bold) {
    QFont font(QString::fromLatin1(family));
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

void RegisterFontSubstitutes() {
    // "Book Antiqua" is a Palatino design; P052 is the nearest free face to it.
    static const bool done = [] {
        QFont::insertSubstitution(QStringLiteral("Book Antiqua"), QStringLiteral("P052"));
        return true;
    }();
    (void)done;
}

// Draws one line of text with the top of its cell at rect.top(), aligned left or right in
// rect. The cell's ascent is held to the pixel height: the look-alike of "Book Antiqua" has
// a taller ascent than the face the layout was made for, which would push the digits' foot
// below the top band into the reflection.
void DrawTopAligned(QPainter& painter, const QRect& rect, Qt::Alignment align,
                    const QString& text) {
    const QFontMetrics metrics(painter.font());
    const int pixels = painter.font().pixelSize();
    const int ascent = pixels > 0 ? std::min(metrics.ascent(), pixels - 1) : metrics.ascent();
    const QRect cell(rect.left(), rect.top() + ascent - metrics.ascent(), rect.width(),
                     metrics.height());
    painter.drawText(cell, int(align | Qt::AlignTop | Qt::TextDontClip), text);
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

// The texts are spelled out at each call, with their context: lupdate reads only literal
// arguments of translate() and tr(), and a tr() outside a class has no context to go in.
QString ScreenReadingText(const TScreenReading& reading) {
    QStringList parts;
    parts << QCoreApplication::translate("TOrvalenScreen", "%1 МГц %2")
                 .arg(QString::number(reading.TuneValue / 10.0, 'f', 1),
                      reading.FmBand ? QStringLiteral("FM")
                                     : QCoreApplication::translate("TOrvalenScreen", "УКВ"));
    if (!reading.TunerOn) {
        parts << QCoreApplication::translate("TOrvalenScreen", "выключен");
        return parts.join(QStringLiteral(", "));
    }
    const QString name = reading.Name.trimmed();
    if (!name.isEmpty())
        parts << name;
    parts << (reading.Stereo ? QCoreApplication::translate("TOrvalenScreen", "стерео")
                             : QCoreApplication::translate("TOrvalenScreen", "моно"));
    const QString rds = reading.RDSName.trimmed();
    if (reading.RDSEnabled && !rds.isEmpty())
        parts << QCoreApplication::translate("TOrvalenScreen", "RDS: %1").arg(rds);
    return parts.join(QStringLiteral(", "));
}

TOrvalenScreen::TOrvalenScreen(QWidget* parent) : QWidget(parent) {
    InstallAccessibleControls();
    RegisterFontSubstitutes();
    FFreqFont = MakeFont("Book Antiqua", 28, false);
    FTextFont = MakeFont("Arial", 12, false);
    PrepareFonts();
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(244, 75);
    FColumnOff = MakeColumn(false);
    FColumnOn = MakeColumn(true);
    FMirror = QImage(244, Reflection::TopBandRows, QImage::Format_BGR888);
    FAnnouncedReading = ReadingText();
    Paint();
}

// Setters ------------------------------------------------------------------------------------

namespace {

// Setters act only on a change; this stores the value and tells whether it was one.
template <class T> bool Store(T& field, const T& value) {
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

void TOrvalenScreen::SetTuneValue(int value) {
    if (Store(FTuneValue, value)) {
        Paint();
        AnnounceReading();
    }
}

void TOrvalenScreen::SetTunerState(bool value) {
    if (Store(FTunerState, value)) {
        Paint();
        AnnounceReading();
    }
}

void TOrvalenScreen::SetIsStereo(bool value) {
    if (Store(FIsStereo, value)) {
        Paint();
        AnnounceReading();
    }
}

void TOrvalenScreen::SetIsFmStyle(bool value) {
    if (Store(FIsFmStyle, value)) {
        Paint();
        AnnounceReading();
    }
}

void TOrvalenScreen::SetDisabledColor(const QColor& value) {
    if (Store(FDisabledColor, value))
        Paint();
}

void TOrvalenScreen::SetStereoColor(const QColor& value) {
    if (Store(FStereoColor, value))
        Paint();
}

void TOrvalenScreen::SetLevelColor(const QColor& value) {
    if (Store(FLevelColor, value))
        Paint();
}

void TOrvalenScreen::SetFreqFontColor(const QColor& value) {
    if (Store(FFreqFontColor, value))
        Paint();
}

void TOrvalenScreen::SetFreqFont(const QFont& value) {
    if (!Store(FFreqFont, value))
        return;
    PrepareFonts();
    Paint();
}

// The stored level is the clamped one, so -3 after 0 changes nothing.
void TOrvalenScreen::SetTuneLevel(int value) {
    if (Store(FTuneLevel, std::clamp(value, 0, 15)))
        Paint();
}

// These two redraw on every call: the tuner controller relies on it to refresh the screen.
void TOrvalenScreen::SetRDSEnabled(bool value) {
    FRDSEnabled = value;
    Paint();
    AnnounceReading();
}

void TOrvalenScreen::SetRDSString(const QString& value) {
    FRDSString = value;
    Paint();
    AnnounceReading();
}

void TOrvalenScreen::SetText(const QString& value) {
    if (Store(FText, value)) {
        UpdateTextPanel();
        AnnounceReading();
    }
}

TScreenReading TOrvalenScreen::Reading() const {
    return {FTuneValue, FIsFmStyle, FText, FTunerState, FIsStereo, FRDSEnabled, FRDSString};
}

// Only a reading that differs from the last one told: the RDS setters run on every status
// report, most of which change nothing.
void TOrvalenScreen::AnnounceReading() {
    QString reading = ReadingText();
    if (reading == FAnnouncedReading)
        return;
    FAnnouncedReading = std::move(reading);
    emit ReadingChanged();
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void TOrvalenScreen::SetTextFont(const QFont& value) {
    if (!Store(FTextFont, value))
        return;
    PrepareFonts();
    UpdateTextPanel();
}

void TOrvalenScreen::SetTextFontColor(const QColor& value) {
    if (Store(FTextFontColor, value))
        UpdateTextPanel();
}

// These two take the ordinary way: the next repaint of the widget redraws the frame.
void TOrvalenScreen::SetBackColor(const QColor& value) {
    if (!Store(FBackColor, value))
        return;
    FFramePending = true;
    update();
}

void TOrvalenScreen::SetBorderStyle(TBorderStyle value) {
    if (!Store(FBorderStyle, value))
        return;
    FFramePending = true;
    update();
}

void TOrvalenScreen::SetVolumeLeft(int value) {
    if (Store(FVolumeLeft, std::clamp(value, 0, 8)))
        UpdateColumn(true);
}

void TOrvalenScreen::SetVolumeRight(int value) {
    if (Store(FVolumeRight, std::clamp(value, 0, 8)))
        UpdateColumn(false);
}

void TOrvalenScreen::SetPeekLeft(int value) {
    if (Store(FPeekLeft, std::clamp(value, 0, 8)))
        UpdateColumn(true);
}

void TOrvalenScreen::SetPeekRight(int value) {
    if (Store(FPeekRight, std::clamp(value, 0, 8)))
        UpdateColumn(false);
}

// Drawing ------------------------------------------------------------------------------------

// The fonts in the sizes they are drawn at, and the text widths the layout needs, are worked
// out when a font is set, so that painting measures nothing and allocates no fonts.
void TOrvalenScreen::PrepareFonts() {
    const QStringList installed = QFontDatabase::families();
    FMarksFont = OwnGlyphsOnly(WithInstalledFamily(AtPoints(FFreqFont, 8), installed));
    FDigitsFont = OwnGlyphsOnly(WithInstalledFamily(InPixels(FFreqFont), installed));
    FLabelsFont =
        OwnGlyphsOnly(WithInstalledFamily(InPixels(MakeFont("Arial", 7, true)), installed));
    FPanelFont = WithInstalledFamily(InPixels(FTextFont), installed);
    const QFontMetrics marks(FMarksFont);
    FMarksWidth = marks.horizontalAdvance(QStringLiteral("УКВ"));
    FUnitWidth = marks.horizontalAdvance(QStringLiteral("Mhz"));
    FDigitsWidth = QFontMetrics(FDigitsFont).horizontalAdvance(QStringLiteral("000.0"));
}

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

    painter.setFont(FMarksFont);
    const int u = FMarksWidth;
    painter.setPen(FIsFmStyle ? active : FDisabledColor);
    DrawTopAligned(painter, QRect(36, 24, u, 13), Qt::AlignRight, QStringLiteral("FM"));
    painter.setPen(FIsFmStyle ? FDisabledColor : active);
    DrawTopAligned(painter, QRect(36, 7, u, 16), Qt::AlignRight, QStringLiteral("УКВ"));

    // "%4d" with a point before the last digit: 880 becomes " 88.0".
    painter.setFont(FDigitsFont);
    QString text = QString::asprintf("%4d", FTuneValue);
    text.insert(3, QLatin1Char('.'));
    const int f = 36 + u + 3;
    const int w = FDigitsWidth;
    painter.setPen(active);
    DrawTopAligned(painter, QRect(f, 0, w, 46), Qt::AlignRight, text);

    painter.setFont(FMarksFont);
    const int m = f + w + 2;
    painter.setPen(FTunerState ? FFreqFontColor : FDisabledColor);
    DrawTopAligned(painter, QRect(m, 24, FUnitWidth, 13), Qt::AlignLeft, QStringLiteral("Mhz"));
    const int x = m + FUnitWidth + 2;

    painter.setFont(FLabelsFont);
    painter.setPen(FIsStereo && FTunerState ? FStereoColor : FDisabledColor);
    DrawTopAligned(painter, QRect(x, 5, 0, 0), Qt::AlignLeft, QStringLiteral("STEREO"));
    painter.setPen(FRDSEnabled && FTunerState ? FStereoColor : FDisabledColor);
    DrawTopAligned(painter, QRect(x - 23, 5, 0, 0), Qt::AlignLeft, QStringLiteral("RDS"));
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
    painter.setFont(FPanelFont);
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
    const qreal ratio = devicePixelRatioF();
    painter.drawImage(0, 0, qFuzzyCompare(ratio, 1.0) ? FFrame : DeviceFrame(ratio));
}

// The frame enlarged by whole pixels, with its texts drawn again over it at the device's
// resolution, so that the digits and captions are as sharp as the window's other letters.
// Only the texts: the pixel drawings keep their pixels, and the reflection still mirrors the
// frame. The texts' boxes are opaque, so each covers its enlarged twin; the top band's are
// kept out of the reflection below it.
const QImage& TOrvalenScreen::DeviceFrame(qreal ratio) {
    if (FDeviceFrameRedraw == FRedrawCount && FDeviceFrame.devicePixelRatio() == ratio)
        return FDeviceFrame;
    FDeviceFrame = AtDeviceRatio(FFrame.convertToFormat(QImage::Format_RGB32), ratio);
    QPainter painter(&FDeviceFrame);
    painter.setClipRect(QRect(0, 0, width(), Reflection::TopBandRows));
    DrawTopBand(painter);
    painter.setClipping(false);
    DrawTextPanel(painter);
    if (FBorderStyle == bsSingle) {
        const QColor colour = palette().color(QPalette::Window);
        const int w = width(), h = height();
        for (const QRect& edge :
             {QRect(0, 0, w, 1), QRect(0, h - 1, w, 1), QRect(0, 0, 1, h), QRect(w - 1, 0, 1, h)})
            painter.fillRect(edge, colour);
    }
    FDeviceFrameRedraw = FRedrawCount;
    return FDeviceFrame;
}

// A frame already drawn at the new size (the start-up sets the size before the window is
// shown, and Qt tells of it only then) is not drawn again.
void TOrvalenScreen::resizeEvent(QResizeEvent*) {
    if (FFrame.size() != size())
        FFramePending = true;
}
