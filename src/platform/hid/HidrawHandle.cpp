#include "HidrawHandle.h"

#include "ReportDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// The largest report hidraw hands over in one read.
constexpr std::size_t MaxKernelReport = 16384;

bool ReadDescriptor(const std::string& path, std::vector<std::uint8_t>& bytes, int& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = errno;
        return false;
    }
    // One byte more than the kernel allows, so that an oversized file is seen as such.
    bytes.assign(MaxReportDescriptorSize + 1, 0);
    std::size_t total = 0;
    while (total < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + total, bytes.size() - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno;
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        total += std::size_t(n);
    }
    ::close(fd);
    bytes.resize(total);
    return true;
}

} // namespace

bool ReadReportLengths(const std::string& hidSysPath, THidCaps& caps, bool& reportIds,
                       std::string& error) {
    std::vector<std::uint8_t> bytes;
    int readError = 0;
    if (!ReadDescriptor(hidSysPath + "/report_descriptor", bytes, readError)) {
        error = std::string("cannot be read: ") + std::strerror(readError);
        return false;
    }
    THidReportLengths lengths;
    if (!ParseReportDescriptor(bytes.data(), bytes.size(), lengths, error))
        return false;
    caps = {lengths.Input, lengths.Output};
    reportIds = lengths.UsesReportIds;
    return true;
}

THidrawHandle::THidrawHandle(THidrawNode node, int fd, bool reportIds, THidNotice notice)
    : FNode(std::move(node)), FFd(fd), FReportIds(reportIds), FNotice(std::move(notice)) {
    if (FFd >= 0) {
        FCancel = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        FScratch.resize(MaxKernelReport + 1);
    }
}

THidrawHandle::~THidrawHandle() {
    if (FFd >= 0)
        ::close(FFd);
    if (FCancel >= 0)
        ::close(FCancel);
}

bool THidrawHandle::GetAttributes(THidAttributes& attributes) {
    attributes = FNode.Attributes;
    return true;
}

bool THidrawHandle::GetCaps(THidCaps& caps) {
    bool reportIds = false;
    std::string error;
    if (ReadReportLengths(FNode.HidSysPath, caps, reportIds, error))
        return true;
    if (FNotice && *FNotice)
        (*FNotice)(QStringLiteral("The report descriptor of %1 %2")
                       .arg(QString::fromStdString(FNode.DevNode), QString::fromStdString(error)));
    return false;
}

bool THidrawHandle::GetProductString(QString& text) {
    if (!FNode.HasProduct)
        return false;
    text = FNode.Product;
    return true;
}

bool THidrawHandle::SetNumInputBuffers(int) {
    return false; // the kernel's queue cannot be resized
}

bool THidrawHandle::GetNumInputBuffers(int& count) {
    if (FFd < 0)
        return false;
    count = KernelInputBuffers;
    return true;
}

bool THidrawHandle::Write(const std::uint8_t* data, std::size_t size, std::size_t& written,
                          int& error) {
    written = 0;
    if (FFd < 0) {
        error = EBADF;
        return false;
    }
    if (size == 0) {
        error = EINVAL;
        return false;
    }
    for (;;) {
        // One write() is one report: byte 0 is the report ID, 0 for devices without any.
        const ssize_t n = ::write(FFd, data, size);
        if (n >= 0) {
            written = std::size_t(n);
            return true;
        }
        if (errno != EINTR) {
            error = errno;
            return false;
        }
    }
}

THidReadStatus THidrawHandle::Read(std::uint8_t* buffer, std::size_t size, int timeoutMs,
                                   std::size_t& count, int& error) {
    count = 0;
    if (FFd < 0 || FCancel < 0) {
        error = EBADF;
        return THidReadStatus::Failed;
    }
    pollfd fds[2] = {{FFd, POLLIN, 0}, {FCancel, POLLIN, 0}};
    const int ready = ::poll(fds, 2, std::max(timeoutMs, 0));
    if (ready < 0) {
        if (errno == EINTR)
            return THidReadStatus::Timeout;
        error = errno;
        return THidReadStatus::Failed;
    }
    if (ready == 0 || fds[1].revents != 0) // nothing came, or the read was cancelled
        return THidReadStatus::Timeout;
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && (fds[0].revents & POLLIN) == 0) {
        error = ENODEV;
        return THidReadStatus::Gone;
    }
    // Devices without report IDs send none; the 0 in front keeps "report ID first".
    const std::size_t offset = FReportIds ? 0 : 1;
    FScratch[0] = 0;
    const ssize_t n = ::read(FFd, FScratch.data() + offset, FScratch.size() - offset);
    if (n < 0) {
        error = errno;
        if (error == EAGAIN || error == EINTR)
            return THidReadStatus::Timeout;
        return error == EIO || error == ENODEV ? THidReadStatus::Gone : THidReadStatus::Failed;
    }
    if (n == 0) {
        error = ENODEV;
        return THidReadStatus::Gone;
    }
    // A report longer than the caller's buffer is cut to it, as the kernel cuts a report
    // longer than the read.
    count = std::min(size, std::size_t(n) + offset);
    std::memcpy(buffer, FScratch.data(), count);
    return THidReadStatus::Data;
}

void THidrawHandle::CancelRead() {
    if (FCancel >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(FCancel, &one, sizeof one);
    }
}
