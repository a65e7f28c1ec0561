#pragma once

// The registry of running instances of one executable, shared between processes: three blocks
// in POSIX shared memory (all instances, the login session's, the user's), one named semaphore
// that guards every access to them, and one datagram socket per instance for notifications.
// Every wait is bounded: a process that died holding the semaphore, a socket nobody reads or a
// block another user planted never keeps a start from going on.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// ---- Block layout: maximum (u16), count (u16), 257 process IDs (u32), native byte order.

constexpr std::size_t InstanceBlockSize = 1032;
constexpr std::size_t InstanceBlockCapacity = 257;
using TInstanceBlock = std::array<std::uint8_t, InstanceBlockSize>;

std::uint16_t BlockMaximum(const TInstanceBlock& block);
std::uint16_t BlockCount(const TInstanceBlock& block);
// The stored process IDs, at most the count and at most the capacity.
std::vector<std::uint32_t> BlockProcessIds(const TInstanceBlock& block);
// Rewrites the block with these IDs (at most the capacity), keeping its maximum.
void SetBlockProcessIds(TInstanceBlock& block, const std::vector<std::uint32_t>& ids);

// Sets an unset maximum to `initialMaximum`, then appends the ID when there is room; gives
// whether the block was within its limit (maximum 0 or fewer registered than it).
bool RegisterInBlock(TInstanceBlock& block, std::uint32_t pid, std::uint16_t initialMaximum);
// Removes every entry of the ID, later entries moving forward.
void UnregisterFromBlock(TInstanceBlock& block, std::uint32_t pid);
// Mends what no instance can have written (a count above the capacity, zero or repeated IDs
// within the count, leftovers past it) and drops the IDs of processes that are not running
// instances; gives the dropped IDs.
std::vector<std::uint32_t> TidyBlock(TInstanceBlock& block,
                                     const std::function<bool(std::uint32_t)>& isRunning);

// ---- Names

// Where POSIX gives up: a semaphore's name (after "/") may have NAME_MAX - 4 characters.
constexpr std::size_t InstanceNameLimit = 251;

// The name as it is when it fits in `limit` characters; otherwise its head and a hash of the
// whole name, `limit` characters in all.
std::string ShortenName(const std::string& name, std::size_t limit);

// Who asks: everything the names are made of.
struct TInstanceIdentity {
    std::string ExecutablePath; // the full path of the executable
    std::string Display;        // the graphical display the windows live on; may be empty
    uid_t Uid = 0;
    pid_t Session = 0;
    std::string UserName;
    std::string HostName;
};

struct TInstanceNames {
    std::string Id;   // "ORV" + the path, upper-cased, "/" made "_"
    std::string Lock; // the semaphore's name, with its leading "/"
    std::string All;  // the three blocks' shared-memory names, with their leading "/"
    std::string Session;
    std::string User;
    std::string SocketStem; // the instance sockets' file names without the process ID
};

TInstanceNames MakeInstanceNames(const TInstanceIdentity& identity);
// The socket file name of one instance, short enough for a socket address in `folder`.
std::string InstanceSocketName(const TInstanceNames& names, std::uint32_t pid,
                               const std::string& folder);

// The identity of this process: /proc/self/exe, $DISPLAY (else $WAYLAND_DISPLAY), the
// effective user, getsid(0), the user's name and the host name.
TInstanceIdentity CurrentInstanceIdentity();

// Whether the process runs the executable at `executablePath` under this user: gone, zombie,
// another user's and another program's processes (a reused ID) are not instances.
bool IsRunningInstance(std::uint32_t pid, const std::string& executablePath);

// The folder for instance sockets: $XDG_RUNTIME_DIR when it is ours and closed to others, else
// /tmp/orvalen-<uid> (made 0700); "" when neither can be trusted.
std::string InstanceSocketFolder(uid_t uid, const char* runtimeDir);

// ---- The shared registry

class TInstanceRegistry {
public:
    TInstanceRegistry(TInstanceNames names, std::uint32_t pid,
                      std::function<bool(std::uint32_t)> isRunning,
                      std::chrono::milliseconds lockTimeout = std::chrono::milliseconds(1000));

    // Each call takes the lock, drops dead entries from all three blocks first and hands the
    // dropped IDs to OnDropped.
    // Adds this process to the three blocks; true when all of them were within their limits.
    bool Register();
    // The registered instances in order, this one included.
    std::vector<std::uint32_t> Instances();
    // Removes this process from the three blocks; gives the instances that remain.
    std::vector<std::uint32_t> Unregister();

    // True after the lock had to be taken over from a holder that never let go.
    bool LockRecovered() const { return FLockRecovered; }

    std::function<void(std::uint32_t)> OnDropped;

private:
    template <class F> void Locked(F&& change);

    TInstanceNames FNames;
    std::uint32_t FPid;
    std::function<bool(std::uint32_t)> FIsRunning;
    std::chrono::milliseconds FLockTimeout;
    bool FLockRecovered = false;
};

// ---- Messages between instances

enum class TInstanceMessageKind : std::uint32_t {
    Created = 1,      // value: the new instance's process ID
    Destroyed = 2,    // value: the ended instance's process ID
    UserNotify = 3,   // value: the sender's own
    QueryActive = 4,  // value: the asking process ID; answered by ActiveState
    ActiveState = 5,  // value: 1 active, 0 not
    CopyData = 0x4A,  // value: the tag (1: a command line), data: the bytes
    BringForward = 6, // restore a minimised window and bring it to the front; data: the
                      // asking start's activation token, when it had one
};

struct TInstanceMessage {
    TInstanceMessageKind Kind = TInstanceMessageKind::UserNotify;
    std::int32_t Value = 0;
    std::string Data;
    bool operator==(const TInstanceMessage&) const = default;
};

// Bigger command lines are not sent; datagrams of this size always fit a socket's buffer.
constexpr std::size_t InstanceMessageDataLimit = 64 * 1024;

std::string EncodeInstanceMessage(const TInstanceMessage& message);
std::optional<TInstanceMessage> DecodeInstanceMessage(std::string_view bytes);

// Sends one message to the socket at `path`; false when it is not there, nobody reads it
// within `timeout`, or the message is too big.
bool SendInstanceMessage(const std::string& path, const TInstanceMessage& message,
                         std::chrono::milliseconds timeout);

// Sends QueryActive to each path and collects the ActiveState answers that arrive before the
// timeout, one entry per path (nullopt: no answer, or none waited for). The wait ends early at
// the first active answer: that instance is the one a start hands over to, while the others
// may be starts as new as this one, which answer nothing.
std::vector<std::optional<bool>> QueryInstancesActive(const std::vector<std::string>& paths,
                                                      std::uint32_t pid,
                                                      std::chrono::milliseconds timeout);

// One instance's own socket: bound at a path, read without waiting; only messages from
// processes of the same user are taken.
class TInstanceSocket {
public:
    TInstanceSocket() = default;
    ~TInstanceSocket();
    TInstanceSocket(const TInstanceSocket&) = delete;
    TInstanceSocket& operator=(const TInstanceSocket&) = delete;

    // Binds at `path`, replacing a socket file left by an instance that is gone.
    bool Open(const std::string& path);
    void Close(); // also removes the file
    int Fd() const { return FFd; }

    struct TReceived {
        TInstanceMessage Message;
        std::string ReplyAddress; // the sender's address, for an answer
    };
    // The next message, or nullopt when none is waiting.
    std::optional<TReceived> Receive();
    // Answers without waiting; a sender that went away is not an error.
    void Reply(const std::string& address, const TInstanceMessage& message);

private:
    int FFd = -1;
    std::string FPath;
};
