#include "SharpPicture.h"

#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPixmap>
#include <cmath>

QImage AtDeviceRatio(const QImage& image, qreal ratio) {
    if (image.isNull() || qFuzzyCompare(ratio, 1.0))
        return image;
    QImage scaled = image.scaled(int(std::lround(image.width() * ratio)),
                                 int(std::lround(image.height() * ratio)), Qt::IgnoreAspectRatio,
                                 Qt::FastTransformation);
    scaled.setDevicePixelRatio(ratio);
    return scaled;
}

void DrawSharpImage(QPainter& painter, QPoint topLeft, const QImage& image) {
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    painter.drawImage(topLeft, AtDeviceRatio(image, ratio));
}

void AddSharpPixmaps(QIcon& icon, const QImage& image, QIcon::Mode mode) {
    icon.addPixmap(QPixmap::fromImage(image), mode);
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    if (!qFuzzyCompare(ratio, 1.0))
        icon.addPixmap(QPixmap::fromImage(AtDeviceRatio(image, ratio)), mode);
}

QIcon SharpIcon(const QImage& image) {
    QIcon icon;
    AddSharpPixmaps(icon, image);
    return icon;
}
