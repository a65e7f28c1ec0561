#include "stations/StationListBox.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

const QColor White(255, 255, 255);
const QColor Stripe(239, 239, 239);
const QColor GreyText(109, 109, 109);
const QColor Highlight(0, 120, 215);

QImage Solid(const QColor& colour) {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

class StationListBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        QPalette pal = List.palette();
        pal.setColor(QPalette::Base, White);
        pal.setColor(QPalette::Text, Qt::black);
        pal.setColor(QPalette::Highlight, Highlight);
        pal.setColor(QPalette::HighlightedText, White);
        pal.setColor(QPalette::PlaceholderText, GreyText);
        List.setPalette(pal);
        List.setGeometry(0, 0, 297, 238);
        List.show();
        List.FMBandImage = Solid(Qt::red);
        List.UKVBandImage = Solid(Qt::green);
        List.FavouriteImage = Solid(Qt::yellow);
        List.OnGetTuneValue = [this] { return TuneValue; };
    }

    QColor Pixel(const QImage& row, int x, int y = 8) { return row.pixelColor(x, y); }

    // The colours used inside the frequency column, background excluded.
    QSet<QRgb> InkIn(const QImage& row, int from, int to, const QColor& background) {
        QSet<QRgb> ink;
        for (int y = 0; y < row.height(); ++y)
            for (int x = from; x < to; ++x)
                if (row.pixelColor(x, y) != background)
                    ink.insert(row.pixel(x, y));
        return ink;
    }

    TStationListBox List;
    int TuneValue = 1017;
};

} // namespace

TEST_F(StationListBoxTest, EvenRowsAreSixteenDarker) {
    List.SetLines({"101.0=a", "102.0=b", "103.0=c", "104.0=d", "105.0=e"});
    for (int i = 0; i < 5; ++i) {
        const QImage row = List.RowImage(i, false);
        EXPECT_EQ(row.format(), QImage::Format_RGB888);
        EXPECT_EQ(row.height(), 16);
        EXPECT_EQ(Pixel(row, row.width() - 20), i % 2 == 0 ? Stripe : White) << "row " << i;
    }
}

TEST_F(StationListBoxTest, TunedRowIsInvertedUnlessSelected) {
    List.SetLines({"101.7=Новости", "101.7=Новости", "101.0=x"});
    TuneValue = 1017;
    const QImage tunedEven = List.RowImage(0, false);
    EXPECT_EQ(Pixel(tunedEven, tunedEven.width() - 20), GreyText);
    const QImage plain = List.RowImage(2, false);
    const int columnEnd = 16 + List.fontMetrics().horizontalAdvance("0000.0");
    const QSet<QRgb> ink = InkIn(tunedEven, 16, columnEnd, GreyText);
    ASSERT_FALSE(ink.isEmpty()) << "the frequency is drawn";
    EXPECT_TRUE(ink.contains(Stripe.rgb())) << "text in the stripe colour";
    EXPECT_FALSE(ink.contains(QColor(Qt::black).rgb()));

    const QImage tunedOdd = List.RowImage(1, false);
    EXPECT_EQ(Pixel(tunedOdd, tunedOdd.width() - 20), GreyText);
    EXPECT_TRUE(InkIn(tunedOdd, 16, columnEnd, GreyText).contains(White.rgb()));

    const QImage selected = List.RowImage(0, true);
    EXPECT_EQ(Pixel(selected, selected.width() - 20), Highlight);
    EXPECT_TRUE(InkIn(selected, 16, columnEnd, Highlight).contains(White.rgb()));

    EXPECT_EQ(Pixel(plain, plain.width() - 20), Stripe);
}

TEST_F(StationListBoxTest, TunedBackgroundIsThePlaceholderGreyOverTheList) {
    // Qt's grey text is half-transparent black; on a white list it is a solid mid grey.
    QPalette pal = List.palette();
    pal.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 128));
    List.setPalette(pal);
    List.SetLines({"101.7=a"});
    const QColor grey = Pixel(List.RowImage(0, false), 200);
    EXPECT_NEAR(grey.red(), 127, 1);
    EXPECT_EQ(grey.red(), grey.green());
    EXPECT_EQ(grey.red(), grey.blue());
}

TEST_F(StationListBoxTest, TunedMatchIsByText) {
    List.SetLines({"088.0=padded", "88.0=exact"});
    TuneValue = 880;
    EXPECT_EQ(Pixel(List.RowImage(0, false), 200), Stripe);
    EXPECT_EQ(Pixel(List.RowImage(1, false), 200), GreyText);
    List.OnGetTuneValue = nullptr;
    EXPECT_EQ(Pixel(List.RowImage(1, false), 200), White);
}

TEST_F(StationListBoxTest, BandMarks) {
    List.SetLines({"74.0=u", "75.0=f", "99=no dot", "65.9=u", "108.0=f", "no equals"});
    const QColor expected[] = {Qt::green, Qt::red, Qt::red, Qt::green, Qt::red, Qt::red};
    for (int i = 0; i < 6; ++i) {
        const QImage row = List.RowImage(i, false);
        EXPECT_EQ(Pixel(row, 0, 0), expected[i]) << "row " << i;
        EXPECT_EQ(Pixel(row, 15, 15), expected[i]) << "row " << i;
        EXPECT_NE(Pixel(row, 16, 8), expected[i]) << "row " << i;
    }
}

TEST_F(StationListBoxTest, FavouriteStarOverTheLastSixteenPixels) {
    const QString name = "Длинное название станции, которое доходит до края";
    List.SetLines({"101.0=" + QString(QChar(0x1F)) + name, "101.0=" + name});
    const QImage favourite = List.RowImage(0, false);
    const QImage plain = List.RowImage(1, false);
    const int w = favourite.width();
    EXPECT_EQ(Pixel(favourite, w - 16, 0), QColor(Qt::yellow));
    EXPECT_EQ(Pixel(favourite, w - 1, 15), QColor(Qt::yellow));
    EXPECT_NE(Pixel(favourite, w - 17, 15), QColor(Qt::yellow));
    // The marker itself is not drawn: left of the star both rows look alike (apart from the
    // stripe, which only the first has).
    QImage a = favourite.copy(0, 0, w - 16, 16);
    QImage b = plain.copy(0, 0, w - 16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < a.width(); ++x) {
            const bool inkA = a.pixelColor(x, y) != Stripe;
            const bool inkB = b.pixelColor(x, y) != White;
            ASSERT_EQ(inkA, inkB) << x << "," << y;
        }
}

TEST_F(StationListBoxTest, RowsAreSixteenPixelsAndTheModelIsTheList) {
    List.SetLines({"88.0=a", "101.7=b"});
    List.AppendLine("65.9=c");
    List.SetLine(1, "101.8=b");
    EXPECT_EQ(List.Lines(), QStringList({"88.0=a", "101.8=b", "65.9=c"}));
    EXPECT_EQ(List.visualRect(List.model()->index(1, 0)).height(), 16);
    EXPECT_EQ(List.visualRect(List.model()->index(2, 0)).top() -
                  List.visualRect(List.model()->index(1, 0)).top(),
              16);
    EXPECT_EQ(List.ItemIndex(), -1);
    List.SetItemIndex(2);
    EXPECT_EQ(List.ItemIndex(), 2);
    List.DeleteLine(2);
    EXPECT_EQ(List.Count(), 2);
    EXPECT_EQ(List.ItemIndex(), -1);

    // What is on screen is what DrawItem paints.
    List.SetItemIndex(-1);
    const QImage screen = List.viewport()->grab().toImage();
    EXPECT_EQ(screen.pixelColor(List.viewport()->width() - 20, 8), Stripe);
    EXPECT_EQ(screen.pixelColor(List.viewport()->width() - 20, 24), White);
    EXPECT_EQ(screen.pixelColor(8, 8), QColor(Qt::red));
}

TEST_F(StationListBoxTest, SpaceEnterAndDoubleClickReachTheOwner) {
    QString keys;
    int doubleClicks = 0;
    List.OnKeyPress = [&](QChar key) { keys += key; };
    List.OnDblClick = [&] { ++doubleClicks; };
    List.SetLines({"88.0=a"});
    for (int key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_A}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier,
                        key == Qt::Key_Space ? " "
                        : key == Qt::Key_A   ? "a"
                                             : "\r");
        QApplication::sendEvent(&List, &press);
    }
    EXPECT_EQ(keys, " \r\r");
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(40, 8), QPointF(40, 8), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(List.viewport(), &dbl);
    EXPECT_EQ(doubleClicks, 1);
}

TEST_F(StationListBoxTest, OverlongTextsLookAsWhenShorter) {
    // Only what fits is laid out; the row must look the same as with a text that is merely
    // too long.
    const QString huge(300000, u'8');
    const QString longer(2000, u'8');
    List.SetLines({huge + "=" + huge, "=" + huge, longer + "=" + longer, "=" + longer});
    EXPECT_EQ(List.RowImage(0, false), List.RowImage(2, false));
    EXPECT_EQ(List.RowImage(1, false).copy(0, 0, 200, 16),
              List.RowImage(3, false).copy(0, 0, 200, 16));
}
