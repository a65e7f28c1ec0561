#include "controls/Pictures.h"

#include "controls/ImageDecode.h"

#include <PictureData.h>
#include <QPixmap>
#include <array>

namespace Pictures {

namespace {

// A picture that is missing or unreadable becomes a transparent one of its size, so that a
// broken build shows empty buttons rather than failing.
QImage Blank(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

template <std::size_t N>
QImage Indexed(std::array<QImage, N>& cache, const char* prefix, int index) {
    if (index < 0 || index >= int(N))
        return {};
    QImage& image = cache[std::size_t(index)];
    if (image.isNull())
        image = Load(QString::asprintf("%s_%02d.png", prefix, index), 16, 16);
    return image;
}

} // namespace

QImage Load(const QString& name, int width, int height) {
    QImage image;
    if (const TEmbeddedPicture* picture = FindEmbeddedPicture(name.toLatin1().constData())) {
        const QByteArray bytes = QByteArray::fromRawData(
            reinterpret_cast<const char*>(picture->Data), qsizetype(picture->Size));
        image = name.endsWith(QLatin1String(".jpg")) ? ImageDecode::DecodeJpeg(bytes)
                                                     : ImageDecode::DecodePng(bytes);
    }
    if (image.size() != QSize(width, height))
        return Blank(width, height);
    return image;
}

QImage ImageList1(int index) {
    static std::array<QImage, 15> cache;
    return Indexed(cache, "imagelist1", index);
}

QImage ImageList2(int index) {
    static std::array<QImage, 7> cache;
    return Indexed(cache, "imagelist2", index);
}

const QImage* TrackBarImage(int item) {
    static const std::array<QImage, 5> images = {
        Load(QStringLiteral("trackbar_0_fm_scale.png"), 240, 32),
        Load(QStringLiteral("trackbar_1_tuning_needle.png"), 3, 48),
        Load(QStringLiteral("trackbar_2_ukv_scale.png"), 240, 32),
        Load(QStringLiteral("trackbar_3_volume_scale.png"), 125, 22),
        Load(QStringLiteral("trackbar_4_volume_knob.png"), 10, 22),
    };
    if (item < 0 || item >= int(images.size()))
        return nullptr;
    return &images[std::size_t(item)];
}

const QImage* EqualizerSlide() {
    static const QImage image = Load(QStringLiteral("equalizer_slide.png"), 18, 140);
    return &image;
}

const QImage* EqualizerKnob() {
    static const QImage image = Load(QStringLiteral("equalizer_knob.png"), 18, 10);
    return &image;
}

QImage EqualizerIcon() {
    static const QImage image = Load(QStringLiteral("equalizer_icon.png"), 16, 16);
    return image;
}

QImage WindowIcon() {
    static const QImage image = Load(QStringLiteral("window_icon.png"), 64, 64);
    return image;
}

QIcon ApplicationIcon() {
    QIcon builtIn;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        builtIn.addPixmap(
            QPixmap::fromImage(Load(QStringLiteral("app_icon_%1.png").arg(size), size, size)));
    return QIcon::fromTheme(QStringLiteral("orvalen"), builtIn);
}

QImage AboutPicture() {
    static const QImage image = Load(QStringLiteral("about.jpg"), 110, 124);
    return image;
}

} // namespace Pictures
