#include "WindowFont.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <cmath>

namespace {

QFont Bitmap() {
    return QFont(QStringLiteral("MS Sans Serif"));
}

// Both alphabets the windows write in, and the digits, so the width match holds for the
// Russian captions and the Latin device names alike.
QString SampleText() {
    return QStringLiteral("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюя"
                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");
}

// The pixel size at which `scalable` writes the sample as wide as `bitmap` does.
int MatchingPixelSize(const QFont& bitmap, QFont scalable) {
    constexpr int Reference = 100;
    scalable.setPixelSize(Reference);
    const qreal wanted = QFontMetricsF(bitmap).horizontalAdvance(SampleText());
    const qreal atReference = QFontMetricsF(scalable).horizontalAdvance(SampleText());
    if (wanted <= 0 || atReference <= 0)
        return qMax(int(std::lround(QFontMetricsF(bitmap).height())), 1);
    return qMax(int(std::lround(Reference * wanted / atReference)), 1);
}

// The windows draw at the highest ratio among the screens; a window moved between screens
// keeps its face.
QFont ForApplication(const QFont& bitmap) {
    return WindowFontFor(bitmap, qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);
}

} // namespace

QFont WindowFontFor(const QFont& bitmap, qreal devicePixelRatio) {
    if (qFuzzyCompare(devicePixelRatio, 1.0))
        return bitmap;
    QFont scalable(QStringLiteral("Liberation Sans"));
    scalable.setStyleHint(QFont::SansSerif);
    scalable.setWeight(bitmap.weight());
    scalable.setItalic(bitmap.italic());
    scalable.setPixelSize(MatchingPixelSize(bitmap, scalable));
    return scalable;
}

QFont WindowFont(int pixelSize) {
    QFont font = Bitmap();
    font.setPixelSize(pixelSize);
    return ForApplication(font);
}

QFont WindowFontInPoints(int points) {
    QFont font = Bitmap();
    font.setPointSize(points);
    return ForApplication(font);
}
