#pragma once

// Start-up work that nothing on the main window's first frame needs (the hidden windows, the
// sound device lists, the tray icon, the media-player service, the suspend watcher): it runs
// right after that frame has been painted, so the window appears sooner, and at once wherever
// something needs it earlier.

#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

class QWidget;

class TDeferredStart : public QObject {
public:
    using QObject::QObject;

    // A task for later, run once, after the tasks added before it.
    void Add(std::function<void()> task);
    // Runs the tasks once window has painted its first frame. A window that is not shown, or
    // is never painted (minimised, on another desktop), gets them on the next turn of the
    // event loop, or after LatestStartMs at the latest.
    void RunAfterFirstPaint(QWidget& window);
    // Runs every task not yet run, now. A task that adds tasks gets them run too.
    void Finish();
    bool Finished() const { return FTasks.empty(); }

    static constexpr int LatestStartMs = 1000;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FinishSoon();

    std::vector<std::function<void()>> FTasks;
    QPointer<QWidget> FWindow;
    bool FRunning = false;
};
