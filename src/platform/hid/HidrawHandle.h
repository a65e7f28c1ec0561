#pragma once

// One open hidraw node, or a query-only handle on an interface the program may not open:
// identity and product come from sysfs (read at enumeration), report lengths from the hid
// device's report descriptor, reports through the node.
//
// Threads: Read runs on the reader thread; CancelRead may be called from the GUI thread at
// any time (it only writes to an eventfd); everything else runs on the GUI thread.

#include "HidBackend.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct THidrawNode {
    std::string DevNode;    // /dev/hidrawN
    std::string SysPath;    // the hidraw device in sysfs
    std::string HidSysPath; // its parent hid device, which holds report_descriptor
    std::string Instance;   // the interface's identity across device changes
    THidAttributes Attributes;
    QString Product;
    bool HasProduct = false;
};

// Where a handle reports what the log window should say about its device.
using THidNotice = std::shared_ptr<const std::function<void(const QString& line)>>;

class THidrawHandle : public THidHandle {
public:
    // The hidraw queue of input reports has a fixed length in the kernel.
    static constexpr int KernelInputBuffers = 64;

    // fd: the open node (the handle owns it), or -1 for a query-only handle. reportIds: the
    // device's descriptor declares report IDs, so reads start with one; else the handle
    // puts the 0 in front itself.
    THidrawHandle(THidrawNode node, int fd, bool reportIds, THidNotice notice = nullptr);
    ~THidrawHandle() override;
    THidrawHandle(const THidrawHandle&) = delete;
    THidrawHandle& operator=(const THidrawHandle&) = delete;

    bool GetAttributes(THidAttributes& attributes) override;
    bool GetCaps(THidCaps& caps) override;
    bool GetProductString(QString& text) override;
    bool SetNumInputBuffers(int count) override;
    bool GetNumInputBuffers(int& count) override;
    bool Write(const std::uint8_t* data, std::size_t size, std::size_t& written,
               int& error) override;
    THidReadStatus Read(std::uint8_t* buffer, std::size_t size, int timeoutMs, std::size_t& count,
                        int& error) override;
    void CancelRead() override;

private:
    THidrawNode FNode;
    int FFd;
    int FCancel = -1; // eventfd, written once to end every wait
    bool FReportIds;
    THidNotice FNotice;
    std::vector<std::uint8_t> FScratch; // one whole report as the kernel hands it over
};

// Whether the hid device at hidSysPath declares report IDs, and its report lengths; false
// with a reason when its descriptor cannot be read or used.
bool ReadReportLengths(const std::string& hidSysPath, THidCaps& caps, bool& reportIds,
                       std::string& error);
