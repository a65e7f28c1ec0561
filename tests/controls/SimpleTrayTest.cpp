#include "controls/SimpleTray.h"

#include <QCoreApplication>
#include <QMenu>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class MainWindowStandIn : public QWidget {
public:
    int showHideRequests = 0;

protected:
    bool event(QEvent* event) override {
        if (event->type() == WM_SHOWHIDEMAIN) {
            ++showHideRequests;
            return true;
        }
        return QWidget::event(event);
    }
};

TEST(SimpleTray, LeftPressPostsTheShowHideRequestOnly) {
    MainWindowStandIn window;
    QMenu menu;
    TSimpleTray tray(&window, &menu, "USB Orvalen");
    EXPECT_EQ(tray.TrayIcon()->contextMenu(), &menu);
    const struct {
        QSystemTrayIcon::ActivationReason reason;
        int requests;
    } cases[] = {
        {QSystemTrayIcon::Trigger, 1},
        {QSystemTrayIcon::Context, 0},
        {QSystemTrayIcon::DoubleClick, 0},
        {QSystemTrayIcon::MiddleClick, 0},
    };
    for (const auto& c : cases) {
        window.showHideRequests = 0;
        emit tray.TrayIcon()->activated(c.reason);
        // Posted, not sent: the window acts on it from the event loop.
        EXPECT_EQ(window.showHideRequests, 0);
        QCoreApplication::sendPostedEvents(&window);
        EXPECT_EQ(window.showHideRequests, c.requests) << c.reason;
    }
}

QColor IconColour(const QSystemTrayIcon& icon) {
    return icon.icon().pixmap(16, 16).toImage().pixelColor(8, 8);
}

QIcon Filled(QColor colour) {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(colour);
    return QIcon(QPixmap::fromImage(image));
}

TEST(SimpleTray, ShownIconWaitsForAHostWithThePresentPictureAndTip) {
    TSimpleTray tray(nullptr, nullptr, "USB Orvalen");
    tray.Icon() = Filled(Qt::red);
    tray.ShowIcon();
    // No tray host under the offscreen platform. The icon is visible all the same, since Qt
    // gives a host that appears later only the visible icons; no host shows it yet.
    EXPECT_TRUE(tray.TrayIcon()->isVisible());
    EXPECT_FALSE(tray.IconShown());
    EXPECT_EQ(IconColour(*tray.TrayIcon()), QColor(Qt::red));
    EXPECT_EQ(tray.TrayIcon()->toolTip().toStdString(), "USB Orvalen");

    // What a host takes when it comes is the present picture and tip.
    tray.Icon() = Filled(Qt::blue);
    tray.UpdateIcon();
    tray.SetHint("USB Orvalen 2");
    EXPECT_EQ(IconColour(*tray.TrayIcon()), QColor(Qt::blue));
    EXPECT_EQ(tray.TrayIcon()->toolTip().toStdString(), "USB Orvalen 2");
}

} // namespace
