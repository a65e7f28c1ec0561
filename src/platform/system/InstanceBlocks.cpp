// The registry blocks' layout and the names of the shared objects: pure functions.
#include "InstanceRegistry.h"

#include <QString>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr std::size_t CountOffset = 2;
constexpr std::size_t IdsOffset = 4;

// The blocks hold native-order integers at unaligned offsets.
template <typename T> T ReadField(const std::uint8_t* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

template <typename T> void WriteField(std::uint8_t* at, T value) {
    std::memcpy(at, &value, sizeof value);
}

std::uint64_t Fnv1a(const std::string& text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

// The path upper-cased as text when it is UTF-8, else letter by ASCII letter.
std::string UpperCase(const std::string& text) {
    const QString decoded = QString::fromUtf8(text.data(), qsizetype(text.size()));
    if (decoded.toUtf8().toStdString() == text)
        return decoded.toUpper().toUtf8().toStdString();
    std::string upper = text;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return upper;
}

std::string Slashless(std::string text) {
    std::replace(text.begin(), text.end(), '/', '_');
    return text;
}

// ":0.0" and ":0" are one display: the screen number goes.
std::string DisplayKey(const std::string& display) {
    const std::size_t colon = display.rfind(':');
    if (colon != std::string::npos) {
        const std::size_t dot = display.find('.', colon);
        if (dot != std::string::npos)
            return Slashless(display.substr(0, dot));
    }
    return Slashless(display);
}

} // namespace

// ---- Blocks

std::uint16_t BlockMaximum(const TInstanceBlock& block) {
    return ReadField<std::uint16_t>(block.data());
}

std::uint16_t BlockCount(const TInstanceBlock& block) {
    return ReadField<std::uint16_t>(block.data() + CountOffset);
}

std::vector<std::uint32_t> BlockProcessIds(const TInstanceBlock& block) {
    const std::size_t count = std::min<std::size_t>(BlockCount(block), InstanceBlockCapacity);
    std::vector<std::uint32_t> ids(count);
    for (std::size_t i = 0; i < count; ++i)
        ids[i] = ReadField<std::uint32_t>(block.data() + IdsOffset + 4 * i);
    return ids;
}

void SetBlockProcessIds(TInstanceBlock& block, const std::vector<std::uint32_t>& ids) {
    const std::size_t count = std::min(ids.size(), InstanceBlockCapacity);
    std::fill(block.begin() + IdsOffset, block.end(), std::uint8_t(0));
    for (std::size_t i = 0; i < count; ++i)
        WriteField(block.data() + IdsOffset + 4 * i, ids[i]);
    WriteField(block.data() + CountOffset, std::uint16_t(count));
}

bool RegisterInBlock(TInstanceBlock& block, std::uint32_t pid, std::uint16_t initialMaximum) {
    if (BlockMaximum(block) == 0)
        WriteField(block.data(), initialMaximum);
    std::vector<std::uint32_t> ids = BlockProcessIds(block);
    const std::uint16_t maximum = BlockMaximum(block);
    const bool within = maximum == 0 || ids.size() < maximum;
    // Past the capacity the instance is simply not listed (it then counts as the first).
    if (std::find(ids.begin(), ids.end(), pid) == ids.end() && ids.size() < InstanceBlockCapacity)
        ids.push_back(pid);
    SetBlockProcessIds(block, ids);
    return within;
}

void UnregisterFromBlock(TInstanceBlock& block, std::uint32_t pid) {
    std::vector<std::uint32_t> ids = BlockProcessIds(block);
    ids.erase(std::remove(ids.begin(), ids.end(), pid), ids.end());
    SetBlockProcessIds(block, ids);
}

std::vector<std::uint32_t> TidyBlock(TInstanceBlock& block,
                                     const std::function<bool(std::uint32_t)>& isRunning) {
    std::vector<std::uint32_t> kept;
    std::vector<std::uint32_t> dropped;
    for (std::uint32_t id : BlockProcessIds(block)) {
        if (id == 0 || std::find(kept.begin(), kept.end(), id) != kept.end())
            continue;
        if (isRunning(id))
            kept.push_back(id);
        else if (std::find(dropped.begin(), dropped.end(), id) == dropped.end())
            dropped.push_back(id);
    }
    SetBlockProcessIds(block, kept);
    return dropped;
}

// ---- Names

std::string ShortenName(const std::string& name, std::size_t limit) {
    if (name.size() <= limit)
        return name;
    char hash[18];
    std::snprintf(hash, sizeof hash, "~%016llx", static_cast<unsigned long long>(Fnv1a(name)));
    const std::size_t head = limit > 17 ? limit - 17 : 0;
    return (name.substr(0, head) + hash).substr(0, limit);
}

TInstanceNames MakeInstanceNames(const TInstanceIdentity& identity) {
    TInstanceNames names;
    names.Id = Slashless(UpperCase("Orv" + identity.ExecutablePath));
    // POSIX names are machine-wide: the user and the display keep them apart as a logon
    // session's namespace would.
    std::string tail = "_" + std::to_string(identity.Uid);
    if (!identity.Display.empty())
        tail += "_" + DisplayKey(identity.Display);
    const auto object = [&](const std::string& middle) {
        // Appended rather than "/" + …: GCC 12 at -O3 sees a false overlap in the latter.
        std::string name = "/";
        name += ShortenName(names.Id + middle + tail, InstanceNameLimit);
        return name;
    };
    names.Lock = object("_Otx");
    names.All = object("_All");
    names.Session = object("_Session_" + std::to_string(identity.Session));
    names.User =
        object("_User_" + Slashless(identity.UserName) + "_" + Slashless(identity.HostName));
    names.SocketStem = names.Id + "_Msg" + tail;
    return names;
}

std::string InstanceSocketName(const TInstanceNames& names, std::uint32_t pid,
                               const std::string& folder) {
    const std::size_t room = sizeof(sockaddr_un::sun_path) - 1 - folder.size() - 1;
    return ShortenName(names.SocketStem + "_" + std::to_string(pid),
                       std::max<std::size_t>(room, 18));
}

TInstanceIdentity CurrentInstanceIdentity() {
    TInstanceIdentity identity;
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length > 0)
        identity.ExecutablePath.assign(path, std::size_t(length));
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        display = std::getenv("WAYLAND_DISPLAY");
    if (display)
        identity.Display = display;
    identity.Uid = geteuid();
    identity.Session = getsid(0);
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(identity.Uid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        identity.UserName = found->pw_name;
    else
        identity.UserName = std::to_string(identity.Uid);
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) == 0)
        identity.HostName = host;
    return identity;
}

bool IsRunningInstance(std::uint32_t pid, const std::string& executablePath) {
    if (pid == 0 || pid > std::uint32_t(INT_MAX) || kill(pid_t(pid), 0) != 0)
        return false; // gone (ESRCH) or not ours to signal (EPERM)
    const std::string proc = "/proc/" + std::to_string(pid);
    struct stat info {};
    if (stat(proc.c_str(), &info) == 0 && info.st_uid != geteuid())
        return false;
    if (FILE* file = std::fopen((proc + "/stat").c_str(), "re")) {
        char line[1024] = {};
        const std::size_t size = std::fread(line, 1, sizeof line - 1, file);
        std::fclose(file);
        // "pid (name) S ...": the state follows the last parenthesis.
        const char* paren = std::strrchr(line, ')');
        const char state = paren && std::size_t(paren - line) + 2 < size ? paren[2] : '?';
        if (state == 'Z' || state == 'X')
            return false; // ended, not yet reaped
    }
    char target[PATH_MAX];
    const ssize_t length = readlink((proc + "/exe").c_str(), target, sizeof target - 1);
    if (length <= 0)
        return true; // cannot tell: keep it
    std::string exe(target, std::size_t(length));
    const std::string deleted = " (deleted)"; // the file was replaced while it runs
    if (exe.size() > deleted.size() && exe.ends_with(deleted))
        exe.resize(exe.size() - deleted.size());
    return exe == executablePath;
}

std::string InstanceSocketFolder(uid_t uid, const char* runtimeDir) {
    const auto closed = [uid](const struct stat& info) {
        return S_ISDIR(info.st_mode) && info.st_uid == uid && (info.st_mode & 077) == 0;
    };
    struct stat info {};
    if (runtimeDir && runtimeDir[0] == '/' && stat(runtimeDir, &info) == 0 && closed(info))
        return runtimeDir;
    const std::string folder = "/tmp/orvalen-" + std::to_string(uid);
    mkdir(folder.c_str(), 0700);
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != uid)
        return {};
    if ((info.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0)
        return {};
    return folder;
}
