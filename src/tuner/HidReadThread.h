#pragma once

// The reader of one claimed device. It reads whole input reports in time slices (so that a
// stop request is seen within one slice) and hands each report, or each read error, to the
// GUI thread synchronously: the call is queued to the GUI thread and the reader waits for it
// to have run. Stop() runs on the GUI thread, waits for the reader to end and meanwhile runs
// the reader's pending hand-over itself. If Stop() is called from inside one of this reader's
// own hand-overs it cannot wait (the reader waits for that very call to return), so the
// thread is left to end on its own right after the call returns.

#include "platform/hid/HidBackend.h"

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <memory>

class THidDeviceReadThread {
public:
    // Calls made on the GUI thread for each report (report ID first) and each read error.
    using TReport = std::function<void(const QByteArray& report)>;
    using TError = std::function<void(int error)>;

    THidDeviceReadThread(std::shared_ptr<THidHandle> handle, int reportLength, int waitSliceMs,
                         TReport onReport, TError onError);
    ~THidDeviceReadThread(); // stops
    THidDeviceReadThread(const THidDeviceReadThread&) = delete;
    THidDeviceReadThread& operator=(const THidDeviceReadThread&) = delete;

    void Stop();
    // The number of bytes of the last read and the last error, as the reader saw them.
    int LastCount() const;
    int LastError() const;

private:
    struct TShared;
    std::shared_ptr<TShared> FShared;
};
