#include "WavFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_PCM as it is stored.
constexpr std::uint8_t kSubtypePcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                          0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

void Put(std::vector<std::uint8_t>& to, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        to.push_back(std::uint8_t(value >> (8 * i)));
}

void PutTag(std::vector<std::uint8_t>& to, const char* tag) {
    // Byte by byte: GCC 12 at -O3 warns of a false overflow for a range insert here.
    for (int i = 0; i < 4; ++i)
        to.push_back(std::uint8_t(tag[i]));
}

bool PlainPcm(const TWaveFormat& format) {
    return format.ContainerBits <= 16 && format.Channels <= 2;
}

// A RIFF chunk of odd size is followed by one pad byte.
std::uint64_t Padded(std::uint64_t bytes) {
    return bytes + (bytes & 1);
}

bool WriteAt(int file, const std::uint8_t* data, std::size_t bytes, off_t offset) {
    while (bytes > 0) {
        const ssize_t written = ::pwrite(file, data, bytes, offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        data += written;
        bytes -= std::size_t(written);
        offset += written;
    }
    return true;
}

std::string CannotWrite(const std::string& path, const std::string& reason) {
    return "Cannot write the recording file \"" + path + "\": " + reason + ".";
}

std::string CannotWrite(const std::string& path, int error) {
    return CannotWrite(path, std::string(std::strerror(error)));
}

std::string NotARegularFile(const std::string& path) {
    return CannotWrite(path, std::string("not a regular file"));
}

} // namespace

std::vector<std::uint8_t> WavHeader(const TWaveFormat& format, std::uint32_t dataBytes) {
    const bool plain = PlainPcm(format);
    const std::uint32_t formatBytes = plain ? 16 : 40;
    std::vector<std::uint8_t> header;
    PutTag(header, "RIFF");
    Put(header, 4 + 8 + formatBytes + 8 + Padded(dataBytes), 4);
    PutTag(header, "WAVE");
    PutTag(header, "fmt ");
    Put(header, formatBytes, 4);
    Put(header, plain ? kFormatPcm : kFormatExtensible, 2);
    Put(header, format.Channels, 2);
    Put(header, format.SampleRate, 4);
    Put(header, std::uint64_t(format.SampleRate) * format.BlockAlign, 4);
    Put(header, format.BlockAlign, 2);
    Put(header, format.ContainerBits, 2);
    if (!plain) {
        Put(header, 22, 2);
        // Samples are left-justified with the bits below the valid ones zero, so every bit of
        // the container may be read as valid; sox refuses a narrower valid width.
        Put(header, format.ContainerBits, 2);
        Put(header, format.ChannelMask, 4);
        header.insert(header.end(), std::begin(kSubtypePcm), std::end(kSubtypePcm));
    }
    PutTag(header, "data");
    Put(header, dataBytes, 4);
    return header;
}

std::string PrepareWavFile(const std::string& path) {
    // Only a regular file can hold the recording: a FIFO would hold the start-up until somebody
    // reads it, a device (/dev/full, /dev/null) would take the sound and keep nothing. Opened
    // without waiting, and checked for what was opened.
    const int file =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (file < 0)
        return errno == ENXIO ? NotARegularFile(path) : CannotWrite(path, errno);
    struct stat st {};
    const bool regular = ::fstat(file, &st) == 0 && S_ISREG(st.st_mode);
    const int truncated = regular ? ::ftruncate(file, 0) : 0;
    const int error = errno;
    ::close(file);
    if (!regular)
        return NotARegularFile(path);
    return truncated == 0 ? std::string() : CannotWrite(path, error);
}

TWavFile::TWavFile(std::string path, std::uint64_t maxDataBytes)
    : FPath(std::move(path)), FMaxDataBytes(maxDataBytes) {}

TWavFile::~TWavFile() {
    EndStream();
}

std::string TWavFile::Error() const {
    std::lock_guard lock(FLock);
    return FError;
}

void TWavFile::Fail(const std::string& what) {
    FError = what;
    CloseFile();
}

void TWavFile::CloseFile() {
    if (FFile >= 0)
        ::close(FFile);
    FFile = -1;
}

void TWavFile::BeginStream(const TWaveFormat& format) {
    std::lock_guard lock(FLock);
    if (!FError.empty())
        return;
    CloseFile();
    const bool append = FHasFormat && WavHeader(format, 0) == WavHeader(FFormat, 0);
    FFormat = format;
    FHasFormat = true;
    FHeaderBytes = WavHeader(format, 0).size();
    OpenFile(!append);
}

bool TWavFile::OpenFile(bool restart) {
    FFile = ::open(FPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (restart ? O_TRUNC : 0), 0666);
    if (FFile < 0) {
        Fail(CannotWrite(FPath, errno));
        return false;
    }
    // Appending continues after the data written so far; a file that was changed meanwhile
    // (removed, cut short) no longer holds it, so it is started again.
    struct stat status {};
    if (!restart && ::fstat(FFile, &status) == 0 && S_ISREG(status.st_mode) &&
        std::uint64_t(status.st_size) != FHeaderBytes + Padded(FDataBytes)) {
        if (::ftruncate(FFile, 0) != 0) {
            Fail(CannotWrite(FPath, errno));
            return false;
        }
        restart = true;
    }
    if (restart) {
        FDataBytes = 0;
        const std::vector<std::uint8_t> header = WavHeader(FFormat, 0);
        if (!WriteAt(FFile, header.data(), header.size(), 0)) {
            Fail(CannotWrite(FPath, errno));
            return false;
        }
    }
    return true;
}

bool TWavFile::UpdateSizes() {
    // The sizes are the only fields that change: the RIFF size at byte 4 and the data size
    // just before the data.
    const std::vector<std::uint8_t> header = WavHeader(FFormat, std::uint32_t(FDataBytes));
    if (!WriteAt(FFile, header.data() + 4, 4, 4) ||
        !WriteAt(FFile, header.data() + FHeaderBytes - 4, 4, off_t(FHeaderBytes - 4))) {
        Fail(CannotWrite(FPath, errno));
        return false;
    }
    return true;
}

void TWavFile::Write(const std::uint8_t* data, std::size_t bytes) {
    std::lock_guard lock(FLock);
    if (FFile < 0 || bytes == 0)
        return;
    if (FDataBytes + bytes > FMaxDataBytes) {
        Fail("The recording file \"" + FPath + "\" is full: a WAV file holds at most 4 GiB.");
        return;
    }
    const off_t at = off_t(FHeaderBytes + FDataBytes);
    const std::uint64_t total = FDataBytes + bytes;
    static constexpr std::uint8_t pad = 0;
    if (!WriteAt(FFile, data, bytes, at) ||
        ((total & 1) && !WriteAt(FFile, &pad, 1, at + off_t(bytes)))) {
        Fail(CannotWrite(FPath, errno));
        return;
    }
    FDataBytes = total;
    UpdateSizes();
}

void TWavFile::EndStream() {
    std::lock_guard lock(FLock);
    if (FFile < 0)
        return;
    const int error = ::close(FFile) == 0 ? 0 : errno;
    FFile = -1;
    if (error != 0)
        FError = CannotWrite(FPath, error);
}
