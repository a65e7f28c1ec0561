#include "VersionInfo.h"

#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

template <typename T> bool ReadLE(std::string_view bytes, std::uint64_t offset, T& out) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T))
        return false;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value |= std::uint64_t(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    out = static_cast<T>(value);
    return true;
}

std::optional<TFileVersion> ScanNotes(std::string_view notes) {
    std::uint64_t pos = 0;
    while (pos + 12 <= notes.size()) {
        std::uint32_t nameSize = 0, descSize = 0, type = 0;
        ReadLE(notes, pos, nameSize);
        ReadLE(notes, pos + 4, descSize);
        ReadLE(notes, pos + 8, type);
        const std::uint64_t nameStart = pos + 12;
        const std::uint64_t descStart = nameStart + ((std::uint64_t(nameSize) + 3) & ~3ull);
        const std::uint64_t next = descStart + ((std::uint64_t(descSize) + 3) & ~3ull);
        if (next > notes.size())
            return std::nullopt;
        if (type == VersionNoteType && nameSize == sizeof(VersionNoteOwner) &&
            std::memcmp(notes.data() + nameStart, VersionNoteOwner, nameSize) == 0 &&
            descSize >= 8) {
            TFileVersion version;
            ReadLE(notes, descStart, version.MS);
            ReadLE(notes, descStart + 4, version.LS);
            return version;
        }
        pos = next;
    }
    return std::nullopt;
}

} // namespace

std::optional<TFileVersion> FindVersionNote(std::string_view elf) {
    if (elf.size() < 0x34 ||
        elf.substr(0, 4) != "\x7f"
                            "ELF" ||
        elf[5] != 1)
        return std::nullopt;
    const bool is64 = elf[4] == 2;
    if (!is64 && elf[4] != 1)
        return std::nullopt;
    std::uint64_t shoff = 0;
    std::uint16_t shentsize = 0, shnum = 0;
    if (is64) {
        ReadLE(elf, 0x28, shoff);
        ReadLE(elf, 0x3A, shentsize);
        ReadLE(elf, 0x3C, shnum);
    } else {
        std::uint32_t off32 = 0;
        ReadLE(elf, 0x20, off32);
        shoff = off32;
        ReadLE(elf, 0x2E, shentsize);
        ReadLE(elf, 0x30, shnum);
    }
    if (shentsize < (is64 ? 0x40 : 0x28))
        return std::nullopt;
    constexpr std::uint32_t SHT_NOTE = 7;
    for (std::uint16_t i = 0; i < shnum; ++i) {
        const std::uint64_t header = shoff + std::uint64_t(i) * shentsize;
        std::uint32_t type = 0;
        if (!ReadLE(elf, header + 4, type))
            return std::nullopt;
        if (type != SHT_NOTE)
            continue;
        std::uint64_t offset = 0, size = 0;
        if (is64) {
            ReadLE(elf, header + 0x18, offset);
            ReadLE(elf, header + 0x20, size);
        } else {
            std::uint32_t o = 0, s = 0;
            ReadLE(elf, header + 0x10, o);
            ReadLE(elf, header + 0x14, s);
            offset = o;
            size = s;
        }
        if (offset > elf.size() || size > elf.size() - offset)
            continue;
        if (auto version = ScanNotes(elf.substr(offset, size)))
            return version;
    }
    return std::nullopt;
}

std::string FormatFileVersion(const TFileVersion& version) {
    return std::to_string(version.MS >> 16) + '.' + std::to_string(version.MS & 0xFFFF) + '.' +
           std::to_string(version.LS >> 16) + '.' + std::to_string(version.LS & 0xFFFF);
}

std::string GetVersionString(const std::string& fileName) {
    // Mapped rather than read: an executable with debug information is tens of megabytes,
    // and only its headers and notes are looked at.
    const int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat info = {};
    void* data = MAP_FAILED;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        data = mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (data == MAP_FAILED)
        return {};
    const auto version = FindVersionNote(
        std::string_view(static_cast<const char*>(data), static_cast<std::size_t>(info.st_size)));
    munmap(data, static_cast<std::size_t>(info.st_size));
    return version ? FormatFileVersion(*version) : std::string();
}
