#include "controls/GroupFrame.h"

#include <QImage>
#include <QPalette>
#include <gtest/gtest.h>

namespace {

QImage Rendered(TGroupFrame& frame) {
    frame.resize(120, 60);
    QImage image(frame.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    frame.render(&image);
    return image;
}

} // namespace

TEST(GroupFrame, EtchedLinesAllRoundAndTheCaptionBreaksTheTopOne) {
    TGroupFrame plain(QString{});
    const QImage image = Rendered(plain);
    const QRgb shadow = plain.palette().color(QPalette::Dark).rgb();
    const QRgb light = plain.palette().color(QPalette::Light).rgb();
    // A shadow line with a light one inside it, on every side.
    EXPECT_EQ(image.pixel(60, 0), shadow);
    EXPECT_EQ(image.pixel(60, 1), light);
    EXPECT_EQ(image.pixel(0, 30), shadow);
    EXPECT_EQ(image.pixel(1, 30), light);

    TGroupFrame captioned(QStringLiteral("Список"));
    const QImage withCaption = Rendered(captioned);
    const QRect caption = captioned.CaptionRect();
    ASSERT_FALSE(caption.isEmpty());
    const int line = caption.height() / 2;
    EXPECT_EQ(withCaption.pixel(2, line), shadow);                   // before the caption
    EXPECT_NE(withCaption.pixel(caption.left() + 1, line), shadow);  // in its gap
    EXPECT_EQ(withCaption.pixel(caption.right() + 3, line), shadow); // after it
    EXPECT_EQ(withCaption.pixel(60, 0),
              withCaption.pixel(60, 58 - line)); // no line at the very top
}
