#include "platform/system/VersionInfo.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace {

void Put(std::string& bytes, std::size_t offset, std::uint64_t value, int size) {
    if (bytes.size() < offset + size)
        bytes.resize(offset + size);
    for (int i = 0; i < size; ++i)
        bytes[offset + i] = char((value >> (8 * i)) & 0xFF);
}

// A minimal 64-bit ELF image with one note section holding the given note bytes.
std::string ElfWithNotes(const std::string& notes) {
    std::string elf(0x40, '\0');
    std::memcpy(elf.data(),
                "\x7f"
                "ELF\x02\x01",
                6);
    const std::size_t notesAt = 0x40, shoff = (0x40 + notes.size() + 7) & ~std::size_t(7);
    elf += notes;
    elf.resize(shoff + 2 * 0x40);
    Put(elf, 0x28, shoff, 8);
    Put(elf, 0x3A, 0x40, 2);
    Put(elf, 0x3C, 2, 2);
    Put(elf, shoff + 0x40 + 4, 7, 4); // section 1: SHT_NOTE
    Put(elf, shoff + 0x40 + 0x18, notesAt, 8);
    Put(elf, shoff + 0x40 + 0x20, notes.size(), 8);
    return elf;
}

std::string Note(const std::string& owner, std::uint32_t type, std::uint32_t ms, std::uint32_t ls) {
    std::string note;
    Put(note, 0, owner.size() + 1, 4);
    Put(note, 4, 8, 4);
    Put(note, 8, type, 4);
    note += owner;
    note.resize((note.size() + 1 + 3) & ~std::size_t(3));
    Put(note, note.size(), ms, 4);
    Put(note, note.size(), ls, 4);
    return note;
}

} // namespace

TEST(VersionInfo, FindsTheVersionNoteAmongOthers) {
    const std::string elf = ElfWithNotes(Note("GNU", 3, 0xAAAA, 0xBBBB) +
                                         Note("Orvalen", 1, (1u << 16) | 2, (3u << 16) | 4));
    const auto version = FindVersionNote(elf);
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(FormatFileVersion(*version), "1.2.3.4");
    EXPECT_EQ(FormatFileVersion({0xFFFFFFFF, 0}), "65535.65535.0.0");
}

TEST(VersionInfo, FilesWithoutAReadableNoteGiveNothing) {
    const std::string good = ElfWithNotes(Note("Orvalen", 1, 1, 1));
    std::string bigNote = good;
    Put(bigNote, 0x40 + 4, 0xFFFFFFF0u, 4); // descriptor size past the section
    std::string badSection = good;
    Put(badSection, 0x28, 0xFFFFFFFFFFull, 8); // section headers past the end
    for (const std::string& bytes :
         {std::string(), std::string("MZ\x90\x00", 4), good.substr(0, 0x30), bigNote, badSection,
          ElfWithNotes(Note("Orvalen", 2, 1, 1)), ElfWithNotes(Note("Other", 1, 1, 1))})
        EXPECT_FALSE(FindVersionNote(bytes).has_value());
    EXPECT_EQ(GetVersionString("/no/such/file"), "");
}

TEST(VersionInfo, TheProgramCarriesItsVersion) {
    EXPECT_EQ(GetVersionString(ORVALEN_BINARY_DIR "/orvalen"), "1.0.0.0");
}
