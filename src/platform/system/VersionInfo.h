#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The program's version travels inside its executable as an ELF note (owner "Orvalen", type 1)
// whose descriptor holds two 32-bit words, most significant first: major << 16 | minor and
// release << 16 | build.
struct TFileVersion {
    std::uint32_t MS = 0;
    std::uint32_t LS = 0;
};

inline constexpr char VersionNoteOwner[] = "Orvalen";
inline constexpr std::uint32_t VersionNoteType = 1;

struct TVersionNote {
    std::uint32_t NameSize;
    std::uint32_t DescSize;
    std::uint32_t Type;
    char Name[8];
    TFileVersion Version;
};

// Finds the version note in the bytes of an ELF file (64- or 32-bit, little-endian); none when
// the bytes are not such a file or hold no such note.
std::optional<TFileVersion> FindVersionNote(std::string_view elf);

// "major.minor.release.build"
std::string FormatFileVersion(const TFileVersion& version);

// The product version of the named file, or "" when it has none or cannot be read.
std::string GetVersionString(const std::string& fileName);
