// Messages between instances and the socket each instance receives them on.
#include "InstanceRegistry.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

bool SetPassCredentials(int fd) {
    const int on = 1;
    return setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) == 0;
}

// A socket address for a file path, or for an abstract name (a leading zero byte) as the kernel
// reports a sender's; false when it does not fit.
bool SocketAddress(const std::string& name, sockaddr_un& address, socklen_t& length) {
    address = {};
    address.sun_family = AF_UNIX;
    if (name.empty() || name.size() > sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.data(), name.size());
    const bool terminated = name[0] != '\0' && name.size() < sizeof address.sun_path;
    length = socklen_t(offsetof(sockaddr_un, sun_path) + name.size() + (terminated ? 1 : 0));
    return true;
}

// A file path we bind or connect to keeps room for its terminating zero.
bool PathAddress(const std::string& path, sockaddr_un& address, socklen_t& length) {
    return path.size() < sizeof address.sun_path && SocketAddress(path, address, length);
}

// Waits until the socket is ready for `events` or the deadline comes; false once it has passed.
bool WaitUntil(int fd, short events, std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        return false;
    pollfd wait{fd, events, 0};
    poll(&wait, 1, int(std::max<long long>(1, left.count())));
    return true;
}

struct TDatagram {
    TInstanceMessage Message;
    std::string From;
};

// Reads datagrams without waiting until one from our own user decodes; nullopt when none is
// left.
std::optional<TDatagram> ReceiveDatagram(int fd) {
    std::string buffer(InstanceMessageDataLimit + 64, '\0');
    for (;;) {
        sockaddr_un from{};
        iovec io{buffer.data(), buffer.size()};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
        msghdr header{};
        header.msg_name = &from;
        header.msg_namelen = sizeof from;
        header.msg_iov = &io;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        const ssize_t size = recvmsg(fd, &header, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (size < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        bool sameUser = false;
        for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c))
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS) {
                ucred credentials;
                std::memcpy(&credentials, CMSG_DATA(c), sizeof credentials);
                sameUser = credentials.uid == geteuid();
            }
        if (!sameUser || (header.msg_flags & MSG_TRUNC))
            continue;
        auto message = DecodeInstanceMessage(std::string_view(buffer.data(), std::size_t(size)));
        if (!message)
            continue;
        const std::size_t nameLength = header.msg_namelen > offsetof(sockaddr_un, sun_path)
                                           ? header.msg_namelen - offsetof(sockaddr_un, sun_path)
                                           : 0;
        std::string address(from.sun_path, nameLength);
        // A path address may carry its terminating zero; an abstract one starts with zero.
        while (address.size() > 1 && address.back() == '\0')
            address.pop_back();
        return TDatagram{*std::move(message), std::move(address)};
    }
}

bool SendTo(int fd, const std::string& address, const std::string& bytes) {
    sockaddr_un to;
    socklen_t length = 0;
    return SocketAddress(address, to, length) &&
           sendto(fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                  reinterpret_cast<const sockaddr*>(&to), length) == ssize_t(bytes.size());
}

constexpr char Magic[4] = {'O', 'R', 'V', 'I'};

} // namespace

// ---- Messages

std::string EncodeInstanceMessage(const TInstanceMessage& message) {
    std::string bytes(Magic, sizeof Magic);
    const auto put = [&bytes](std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes += char((value >> (8 * i)) & 0xFF);
    };
    put(std::uint32_t(message.Kind));
    put(std::uint32_t(message.Value));
    return bytes + message.Data;
}

std::optional<TInstanceMessage> DecodeInstanceMessage(std::string_view bytes) {
    if (bytes.size() < 12 || bytes.substr(0, 4) != std::string_view(Magic, 4) ||
        bytes.size() - 12 > InstanceMessageDataLimit)
        return std::nullopt;
    const auto get = [bytes](std::size_t at) {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= std::uint32_t(std::uint8_t(bytes[at + i])) << (8 * i);
        return value;
    };
    const std::uint32_t kind = get(4);
    switch (TInstanceMessageKind(kind)) {
    case TInstanceMessageKind::Created:
    case TInstanceMessageKind::Destroyed:
    case TInstanceMessageKind::UserNotify:
    case TInstanceMessageKind::QueryActive:
    case TInstanceMessageKind::ActiveState:
    case TInstanceMessageKind::CopyData:
    case TInstanceMessageKind::BringForward:
        break;
    default:
        return std::nullopt;
    }
    return TInstanceMessage{TInstanceMessageKind(kind), std::int32_t(get(8)),
                            std::string(bytes.substr(12))};
}

bool SendInstanceMessage(const std::string& path, const TInstanceMessage& message,
                         std::chrono::milliseconds timeout) {
    sockaddr_un address;
    socklen_t length = 0;
    if (message.Data.size() > InstanceMessageDataLimit || !PathAddress(path, address, length))
        return false;
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    const std::string bytes = EncodeInstanceMessage(message);
    bool sent = false;
    // Connected, so that a full receiver can be waited for with poll.
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (send(fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL) ==
                ssize_t(bytes.size())) {
                sent = true;
                break;
            }
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN || !WaitUntil(fd, POLLOUT, deadline))
                break;
        }
    }
    close(fd);
    return sent;
}

std::vector<std::optional<bool>> QueryInstancesActive(const std::vector<std::string>& paths,
                                                      std::uint32_t pid,
                                                      std::chrono::milliseconds timeout) {
    std::vector<std::optional<bool>> answers(paths.size());
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return answers;
    // An abstract address of the kernel's choosing, so that answers find their way back.
    sockaddr_un self{};
    self.sun_family = AF_UNIX;
    std::size_t waiting = 0;
    if (SetPassCredentials(fd) &&
        bind(fd, reinterpret_cast<const sockaddr*>(&self), sizeof(sa_family_t)) == 0) {
        const std::string query =
            EncodeInstanceMessage({TInstanceMessageKind::QueryActive, std::int32_t(pid), {}});
        for (const std::string& path : paths)
            waiting += SendTo(fd, path, query) ? 1 : 0;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (waiting > 0) {
        while (waiting > 0) {
            auto datagram = ReceiveDatagram(fd);
            if (!datagram)
                break;
            if (datagram->Message.Kind != TInstanceMessageKind::ActiveState)
                continue;
            const auto at = std::find(paths.begin(), paths.end(), datagram->From);
            if (at != paths.end() && !answers[std::size_t(at - paths.begin())]) {
                const bool active = datagram->Message.Value != 0;
                answers[std::size_t(at - paths.begin())] = active;
                waiting = active ? 0 : waiting - 1;
            }
        }
        if (waiting == 0 || !WaitUntil(fd, POLLIN, deadline))
            break;
    }
    close(fd);
    return answers;
}

// ---- The instance's own socket

TInstanceSocket::~TInstanceSocket() {
    Close();
}

bool TInstanceSocket::Open(const std::string& path) {
    Close();
    sockaddr_un address;
    socklen_t length = 0;
    if (!PathAddress(path, address, length))
        return false;
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    // The folder is this user's alone, and the name carries our process ID: what is there was
    // left by an instance that had our ID before and is gone.
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
        unlink(path.c_str());
    if (!SetPassCredentials(fd) ||
        bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        close(fd);
        return false;
    }
    FFd = fd;
    FPath = path;
    return true;
}

void TInstanceSocket::Close() {
    if (FFd < 0)
        return;
    close(FFd);
    unlink(FPath.c_str());
    FFd = -1;
    FPath.clear();
}

std::optional<TInstanceSocket::TReceived> TInstanceSocket::Receive() {
    if (FFd < 0)
        return std::nullopt;
    auto datagram = ReceiveDatagram(FFd);
    if (!datagram)
        return std::nullopt;
    return TReceived{std::move(datagram->Message), std::move(datagram->From)};
}

void TInstanceSocket::Reply(const std::string& address, const TInstanceMessage& message) {
    if (FFd >= 0)
        SendTo(FFd, address, EncodeInstanceMessage(message));
}
