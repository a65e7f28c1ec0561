#include "WaitFor.h"
#include "app/DeferredStart.h"

#include <QEvent>
#include <QWidget>
#include <gtest/gtest.h>
#include <string>

namespace {

// Remembers the order in which a window was painted and the tasks ran.
class TPaintLog : public QWidget {
public:
    explicit TPaintLog(std::string& log) : FLog(log) { resize(40, 30); }

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::Paint)
            FLog += "paint ";
        return QWidget::event(event);
    }

private:
    std::string& FLog;
};

} // namespace

TEST(DeferredStart, TasksRunInTheirOrderOnceTheWindowHasPainted) {
    std::string log;
    TPaintLog window(log);
    TDeferredStart later;
    later.Add([&] { log += "lists "; });
    later.Add([&] {
        log += "windows ";
        later.Add([&] { log += "added "; }); // a task's own task runs in the same pass
    });
    window.show();
    later.RunAfterFirstPaint(window);
    EXPECT_EQ(log, "");
    ASSERT_TRUE(WaitFor([&] { return later.Finished(); }));
    EXPECT_EQ(log.rfind("paint lists windows added ", 0), 0u) << log;
}

TEST(DeferredStart, FinishRunsWhatIsLeftAtOnceAndOnlyOnce) {
    std::string log;
    TPaintLog window(log);
    TDeferredStart later;
    int runs = 0;
    later.Add([&] { ++runs; });
    window.show();
    later.RunAfterFirstPaint(window);
    later.Finish(); // a click that needs a window before the first frame
    EXPECT_EQ(runs, 1);
    ASSERT_TRUE(WaitFor([&] { return log.find("paint") != std::string::npos; }));
    RunEvents();
    EXPECT_EQ(runs, 1);
}

TEST(DeferredStart, AWindowThatIsNotShownGetsTheTasksOnTheNextTurn) {
    std::string log;
    TPaintLog window(log); // started hidden in the tray: no paint will come
    TDeferredStart later;
    bool ran = false;
    later.Add([&] { ran = true; });
    later.RunAfterFirstPaint(window);
    EXPECT_FALSE(ran);
    RunEvents();
    EXPECT_TRUE(ran);
}
