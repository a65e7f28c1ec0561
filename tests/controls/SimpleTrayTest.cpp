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

TEST(SimpleTray, IconAndTipReachTheTrayIcon) {
    TSimpleTray tray(nullptr, nullptr, "USB Orvalen");
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(Qt::red);
    tray.Icon() = QIcon(QPixmap::fromImage(red));
    tray.ShowIcon();
    EXPECT_FALSE(tray.TrayIcon()->icon().isNull());
    EXPECT_EQ(tray.TrayIcon()->toolTip(), "USB Orvalen");
    // Without a tray host (the offscreen platform) a modify fails as the add did.
    tray.UpdateIcon();
    EXPECT_EQ(tray.IconShown(), QSystemTrayIcon::isSystemTrayAvailable());
}

} // namespace
