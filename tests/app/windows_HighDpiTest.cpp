// Screen scales other than 1: the windows' letters grow with the window and the list's band
// mark keeps its pixels unblended. The scale is fixed when the application starts, so each
// scale runs in a child of this test program, which measures its own windows and prints the
// results.
#include "MainFormFixture.h"
#include "WaitFor.h"
#include "app/AppFonts.h"
#include "app/OptionsHost.h"
#include "controls/OrvalenScreen.h"
#include "controls/Reflection.h"
#include "stations/StationListBox.h"
#include "windows/OptionsUnit.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>

namespace {

constexpr char ChildVariable[] = "ORVALEN_TEST_TEXT_WIDTHS";

// The number of device pixel columns in which `area` of `widget` shows dark text: small
// letters spread apart cover about as many columns as at scale 1, letters that grow cover
// proportionally more.
int InkColumns(QWidget& widget, const QRect& area) {
    const QImage image = widget.grab(area).toImage().convertToFormat(QImage::Format_RGB32);
    int columns = 0;
    for (int x = 0; x < image.width(); ++x) {
        bool ink = false;
        for (int y = 0; y < image.height() && !ink; ++y)
            ink = qGray(image.pixel(x, y)) < 96;
        columns += ink ? 1 : 0;
    }
    return columns;
}

// A band mark of single pixels in two colours: any blending shows as a third colour.
QImage Checkerboard() {
    QImage image(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            image.setPixel(x, y, (x + y) % 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    return image;
}

// The number of colours in the band mark of the list's first row.
int BandMarkColours(TStationListBox& list) {
    list.doItemsLayout();
    const QImage image =
        list.viewport()->grab(QRect(0, 0, 16, 16)).toImage().convertToFormat(QImage::Format_RGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return int(colours.size());
}

// The aligned 2 × 2 blocks of device pixels in the tuner display's top band that are not of
// one colour: none where the display is only enlarged by repeating its pixels, many where its
// digits are drawn at the device's resolution (at a scale of 2).
int DisplayDetail(QWidget& display) {
    const QImage image = display.grab(QRect(0, 0, display.width(), Reflection::TopBandRows))
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    int blocks = 0;
    for (int y = 0; y + 1 < image.height(); y += 2)
        for (int x = 0; x + 1 < image.width(); x += 2) {
            const QRgb corner = image.pixel(x, y);
            blocks += image.pixel(x + 1, y) != corner || image.pixel(x, y + 1) != corner ||
                              image.pixel(x + 1, y + 1) != corner
                          ? 1
                          : 0;
        }
    return blocks;
}

struct TTextWidths {
    int ListCaption = 0;
    int OptionsLabel = 0;
    int BandMarkColours = 0;
    int DisplayDetail = 0;
};

// Runs the measuring child at `scale`.
TTextWidths MeasureAt(const char* scale) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(scale));
    env.insert(QString::fromLatin1(ChildVariable), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=TextWidthsChild.*")});
    EXPECT_TRUE(child.waitForFinished(120000));
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    const auto match =
        QRegularExpression(
            QStringLiteral("WIDTHS list=(\\d+) options=(\\d+) mark=(\\d+) display=(\\d+)"))
            .match(out);
    EXPECT_TRUE(match.hasMatch()) << scale << "\n"
                                  << out.toStdString()
                                  << child.readAllStandardError().toStdString();
    return {match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(),
            match.captured(4).toInt()};
}

class TextWidthsChild : public MainFormTest {};

class WindowTextAtScale : public ::testing::TestWithParam<const char*> {};

} // namespace

// Not a test on its own: the child that WindowTextAtScale starts.
TEST_F(TextWidthsChild, PrintsTheWidthsOfTwoTexts) {
    if (!qEnvironmentVariableIsSet(ChildVariable))
        GTEST_SKIP() << "started by WindowTextAtScale";
    SetupApplicationFonts();
    TMainForm& form = Start();
    TOptionsForm* options = CreateOptionsForm(form);
    form.ListBoxStations->FMBandImage = Checkerboard();
    form.ListBoxStations->SetLines({QStringLiteral("101.0=Test")});
    form.show();
    options->show();
    RunEvents();
    QGroupBox& list = *form.GroupBoxList;
    // The caption sits in the group box's top rows, left of the list inside it.
    const int captionRows = list.fontMetrics().height();
    const int listCaption = InkColumns(list, QRect(0, 0, list.width(), captionRows));
    const int optionsLabel = InkColumns(*options->Label4, options->Label4->rect());
    std::printf("WIDTHS list=%d options=%d mark=%d display=%d\n", listCaption, optionsLabel,
                BandMarkColours(*form.ListBoxStations), DisplayDetail(*form.FScreen));
    delete options;
}

TEST_P(WindowTextAtScale, CaptionsAndLabelsGrowWithTheScaleAndMarksStaySharp) {
    const double scale = QString::fromLatin1(GetParam()).toDouble();
    const TTextWidths plain = MeasureAt("1");
    const TTextWidths scaled = MeasureAt(GetParam());
    ASSERT_GT(plain.ListCaption, 0);
    ASSERT_GT(plain.OptionsLabel, 0);
    EXPECT_NEAR(scaled.ListCaption, scale * plain.ListCaption, 0.15 * scale * plain.ListCaption);
    EXPECT_NEAR(scaled.OptionsLabel, scale * plain.OptionsLabel, 0.15 * scale * plain.OptionsLabel);
    EXPECT_EQ(scaled.BandMarkColours, 2) << "the band mark is blurred";
    if (scale == 2.0) {
        EXPECT_GT(scaled.DisplayDetail, 100) << "the display's digits are only enlarged";
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, WindowTextAtScale, ::testing::Values("1.25", "1.5", "2"));
