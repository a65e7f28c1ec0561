#include "controls/Pictures.h"

#include <PictureData.h>
#include <QApplication>
#include <QIconEngine>
#include <QPaintDevice>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>
#include <array>
#include <cstdio>

namespace Pictures {

namespace {

// A picture that is missing or not of the size its caller lays out becomes a transparent one
// of that size, so that a mismatch shows empty buttons rather than failing.
QImage Blank(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// The built-in pixels themselves, not a copy: they are constant for the program's life, and a
// change to the image detaches it onto its own copy.
QImage BuiltIn(const char* name, int width, int height) {
    const TEmbeddedPicture* picture = FindEmbeddedPicture(name);
    if (!picture || picture->Width != width || picture->Height != height)
        return Blank(width, height);
    return QImage(reinterpret_cast<const uchar*>(picture->Pixels), width, height,
                  qsizetype(width) * 4, QImage::Format_ARGB32_Premultiplied);
}

QImage Indexed(const char* prefix, int index, int count) {
    if (index < 0 || index >= count)
        return {};
    char name[32];
    std::snprintf(name, sizeof name, "%s_%02d.png", prefix, index);
    return BuiltIn(name, 16, 16);
}

constexpr std::array<int, 8> AppIconSides = {16, 22, 24, 32, 48, 64, 128, 256};

QImage AppIconPicture(int side) {
    char name[32];
    std::snprintf(name, sizeof name, "app_icon_%d.png", side);
    return BuiltIn(name, side, side);
}

// The side an icon of `size` gets: that of the smallest built-in picture that is not smaller,
// else of the largest; pictures are scaled down, never up.
int ShownSide(const QSize& size) {
    const int wanted = std::min(size.width(), size.height());
    const auto source = std::lower_bound(AppIconSides.begin(), AppIconSides.end(), wanted);
    return std::min(wanted, source == AppIconSides.end() ? AppIconSides.back() : *source);
}

// The application icon's built-in form. It holds no pixmaps: each is made from the built-in
// pixels when a size is asked for, which happens only when the icon theme lacks the program's
// icon.
class AppIconEngine final : public QIconEngine {
public:
    QIconEngine* clone() const override { return new AppIconEngine; }
    QString key() const override { return QStringLiteral("OrvalenAppIcon"); }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (const int side : AppIconSides)
            sizes.append(QSize(side, side));
        return sizes;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::max(ShownSide(size), 0);
        return {side, side};
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        const int side = ShownSide(size);
        if (side <= 0)
            return {};
        const int source = *std::lower_bound(AppIconSides.begin(), AppIconSides.end(), side);
        QImage image = AppIconPicture(source);
        if (source != side)
            image = image.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        return ForMode(QPixmap::fromImage(image), mode);
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, pixmap(rect.size() * ratio, mode, state));
    }

private:
    // Disabled and selected icons look as the style draws them for every other icon.
    static QPixmap ForMode(const QPixmap& pixmap, QIcon::Mode mode) {
        if (mode == QIcon::Normal || !qobject_cast<QApplication*>(QCoreApplication::instance()))
            return pixmap;
        QStyleOption option;
        option.palette = QGuiApplication::palette();
        const QPixmap styled = QApplication::style()->generatedIconPixmap(mode, pixmap, &option);
        return styled.isNull() ? pixmap : styled;
    }
};

} // namespace

QImage Load(const QString& name, int width, int height) {
    return BuiltIn(name.toLatin1().constData(), width, height);
}

QImage ImageList1(int index) {
    return Indexed("imagelist1", index, 15);
}

QImage ImageList2(int index) {
    return Indexed("imagelist2", index, 7);
}

const QImage* TrackBarImage(int item) {
    static const std::array<QImage, 5> images = {
        BuiltIn("trackbar_0_fm_scale.png", 240, 32),
        BuiltIn("trackbar_1_tuning_needle.png", 3, 48),
        BuiltIn("trackbar_2_ukv_scale.png", 240, 32),
        BuiltIn("trackbar_3_volume_scale.png", 125, 22),
        BuiltIn("trackbar_4_volume_knob.png", 10, 22),
    };
    if (item < 0 || item >= int(images.size()))
        return nullptr;
    return &images[std::size_t(item)];
}

const QImage* EqualizerSlide() {
    static const QImage image = BuiltIn("equalizer_slide.png", 18, 140);
    return &image;
}

const QImage* EqualizerKnob() {
    static const QImage image = BuiltIn("equalizer_knob.png", 18, 10);
    return &image;
}

QImage EqualizerIcon() {
    return BuiltIn("equalizer_icon.png", 16, 16);
}

QImage WindowIcon() {
    return BuiltIn("window_icon.png", 64, 64);
}

QIcon ApplicationIcon() {
    return QIcon::fromTheme(QStringLiteral("orvalen"), QIcon(new AppIconEngine));
}

QImage AboutPicture() {
    return BuiltIn("about.jpg", 110, 124);
}

QImage AboutButton() {
    return BuiltIn("about_button.png", 16, 16);
}

QImage OptionsButton() {
    return BuiltIn("options_button.png", 16, 16);
}

QImage ListButton() {
    return BuiltIn("list_button.png", 16, 16);
}

} // namespace Pictures
