// Reading a hidraw node: report boundaries, the report ID the backend puts in front, and what
// the reader does with each kind of failed read. A SOCK_SEQPACKET socket pair stands in for
// the node, since it keeps boundaries as the kernel's node does.
#include "WaitFor.h"
#include "platform/hid/HidrawHandle.h"
#include "tuner/HidReadThread.h"

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct TSocketNode {
    int Program = -1; // given to the handle, which closes it
    int Device = -1;
    TSocketNode() {
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) == 0) {
            Program = fds[0];
            Device = fds[1];
        }
    }
    ~TSocketNode() { CloseDevice(); }
    void Send(const QByteArray& report) const {
        ASSERT_EQ(send(Device, report.constData(), size_t(report.size()), 0), report.size());
    }
    void CloseDevice() {
        if (Device >= 0)
            close(Device);
        Device = -1;
    }
};

// Counts the reads the reader asks for, so a reader that spins is seen.
class TCountingHandle : public THidHandle {
public:
    explicit TCountingHandle(std::unique_ptr<THidHandle> inner) : FInner(std::move(inner)) {}
    bool GetAttributes(THidAttributes& a) override { return FInner->GetAttributes(a); }
    bool GetCaps(THidCaps& c) override { return FInner->GetCaps(c); }
    bool GetProductString(QString& t) override { return FInner->GetProductString(t); }
    bool SetNumInputBuffers(int n) override { return FInner->SetNumInputBuffers(n); }
    bool GetNumInputBuffers(int& n) override { return FInner->GetNumInputBuffers(n); }
    bool Write(const std::uint8_t* d, std::size_t s, std::size_t& w, int& e) override {
        return FInner->Write(d, s, w, e);
    }
    THidReadStatus Read(std::uint8_t* b, std::size_t s, int t, std::size_t& c, int& e) override {
        ++Reads;
        return FInner->Read(b, s, t, c, e);
    }
    void CancelRead() override { FInner->CancelRead(); }
    std::atomic<int> Reads{0};

private:
    std::unique_ptr<THidHandle> FInner;
};

QByteArray Filled(int size, char first) {
    QByteArray report(size, '\0');
    for (int i = 0; i < size; ++i)
        report[i] = char(first + i);
    return report;
}

struct TReaderLog {
    QList<QByteArray> Reports;
    QList<int> Errors;
    bool OffGuiThread = false;
    THidDeviceReadThread::TReport OnReport() {
        return [this](const QByteArray& r) {
            OffGuiThread |= QThread::currentThread() != qApp->thread();
            Reports << r;
        };
    }
    THidDeviceReadThread::TError OnError() {
        return [this](int e) {
            OffGuiThread |= QThread::currentThread() != qApp->thread();
            Errors << e;
        };
    }
};

} // namespace

TEST(HidrawRead, ReportsKeepTheirBoundariesAndAlwaysStartWithTheReportId) {
    const struct {
        const char* What;
        bool ReportIds;
        QByteArray Sent;
        QByteArray Read; // with a 65-byte buffer
    } cases[] = {
        {"no report IDs: the 0 is put in front", false, Filled(64, 'a'),
         QByteArray(1, '\0') + Filled(64, 'a')},
        {"report IDs: read as sent", true, "\x02" + Filled(10, 'k'), "\x02" + Filled(10, 'k')},
        {"longer than the buffer: cut", false, Filled(100, 'A'),
         QByteArray(1, '\0') + Filled(64, 'A')},
        {"a one-byte report", false, QByteArray(1, '\x7F'), QByteArray("\0\x7F", 2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TSocketNode node;
        THidrawHandle handle({}, node.Program, c.ReportIds);
        node.Send(c.Sent);
        node.Send(Filled(3, 'z')); // the next report stays a report of its own
        std::uint8_t buffer[65];
        std::size_t count = 0;
        int error = 0;
        ASSERT_EQ(handle.Read(buffer, sizeof buffer, 1000, count, error), THidReadStatus::Data);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(count)), c.Read);
        ASSERT_EQ(handle.Read(buffer, sizeof buffer, 1000, count, error), THidReadStatus::Data);
        EXPECT_EQ(count, c.ReportIds ? 3u : 4u);
        EXPECT_EQ(handle.Read(buffer, sizeof buffer, 10, count, error), THidReadStatus::Timeout);
    }
}

TEST(HidrawRead, TheReaderHandsReportsOneByOneToTheGuiThread) {
    TSocketNode node;
    TReaderLog log;
    {
        THidDeviceReadThread reader(
            std::make_shared<THidrawHandle>(THidrawNode{}, node.Program, false), 65, 100,
            log.OnReport(), log.OnError());
        for (char c : {'a', 'b', 'c'})
            node.Send(Filled(64, c));
        ASSERT_TRUE(WaitFor([&] { return log.Reports.size() == 3; }));
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(log.Reports[i], QByteArray(1, '\0') + Filled(64, char('a' + i)));
    EXPECT_TRUE(log.Errors.isEmpty());
    EXPECT_FALSE(log.OffGuiThread);
}

TEST(HidrawRead, AFailedReadIsReportedAndTriedAgainAfterOneSlice) {
    // A folder: always ready to read, and every read fails with EISDIR.
    const int folder = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    auto handle = std::make_shared<TCountingHandle>(
        std::make_unique<THidrawHandle>(THidrawNode{}, folder, false));
    TReaderLog log;
    QElapsedTimer timer;
    timer.start();
    {
        THidDeviceReadThread reader(handle, 65, 100, log.OnReport(), log.OnError());
        ASSERT_TRUE(WaitFor([&] { return log.Errors.size() >= 3; }));
    }
    ASSERT_GE(log.Errors.size(), 3);
    for (int error : log.Errors)
        EXPECT_EQ(error, EISDIR);
    // One read per error and one wait slice between them: no spinning.
    EXPECT_LE(handle->Reads, log.Errors.size() + 1);
    EXPECT_GE(timer.elapsed(), 2 * 100);
    EXPECT_TRUE(log.Reports.isEmpty());
}

TEST(HidrawRead, AGoneDeviceEndsTheReaderQuietlyAfterOneRead) {
    TSocketNode node;
    auto handle = std::make_shared<TCountingHandle>(
        std::make_unique<THidrawHandle>(THidrawNode{}, node.Program, false));
    TReaderLog log;
    THidDeviceReadThread reader(handle, 65, 100, log.OnReport(), log.OnError());
    node.CloseDevice(); // the kernel's node hangs up when the device leaves
    ASSERT_TRUE(WaitFor([&] { return reader.LastError() == ENODEV; }));
    RunEvents();
    QThread::msleep(300);
    RunEvents();
    EXPECT_EQ(handle->Reads, 1);
    EXPECT_TRUE(log.Errors.isEmpty());
    EXPECT_TRUE(log.Reports.isEmpty());
}

TEST(HidrawRead, StoppingEndsAWaitingReadAtOnce) {
    TSocketNode node;
    TReaderLog log;
    THidDeviceReadThread reader(std::make_shared<THidrawHandle>(THidrawNode{}, node.Program, false),
                                65, 10000, log.OnReport(), log.OnError());
    QThread::msleep(100); // the reader waits in its 10-second slice now
    QElapsedTimer timer;
    timer.start();
    reader.Stop();
    // Without the cancel the stop would wait out the slice.
    EXPECT_LT(timer.elapsed(), 5000);
}
