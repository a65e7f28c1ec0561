#include "recording/RecordingFlacOutput.h"

#include "recording/RecordingFlacFrames.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace {

TFlacOutput& Of(void* user) {
    return *static_cast<TFlacOutput*>(user);
}

} // namespace

TFlacOutput::TFlacOutput(int descriptor, std::string path)
    : FDescriptor(descriptor), FPath(std::move(path)) {}

TFlacOutput::~TFlacOutput() {
    if (FDescriptor >= 0)
        close(FDescriptor);
}

SF_VIRTUAL_IO& TFlacOutput::Callbacks() {
    static SF_VIRTUAL_IO io = {
        [](void* user) { return Of(user).FSize; },
        [](sf_count_t offset, int whence, void* user) { return Of(user).Seek(offset, whence); },
        [](void* data, sf_count_t count, void* user) { return Of(user).Read(data, count); },
        [](const void* data, sf_count_t count, void* user) { return Of(user).Write(data, count); },
        [](void* user) { return Of(user).FPosition; },
    };
    return io;
}

sf_count_t TFlacOutput::Seek(sf_count_t offset, int whence) {
    const sf_count_t base = whence == SEEK_CUR ? FPosition : whence == SEEK_END ? FSize : 0;
    if (base + offset < 0)
        return -1;
    FPosition = base + offset;
    return FPosition;
}

sf_count_t TFlacOutput::Read(void* data, sf_count_t count) {
    const ssize_t read = pread(FDescriptor, data, std::size_t(count), FPosition);
    if (read <= 0)
        return 0;
    FPosition += read;
    return read;
}

void TFlacOutput::FrameStarts(std::uint32_t samples) {
    FWholeEnd = FSize;
    FWholeSamples += FFrameSamples;
    FFrameSamples = samples;
}

sf_count_t TFlacOutput::Write(const void* data, sf_count_t count) {
    if (FRefused)
        return 0; // the file is cut back when it is completed; nothing goes after the gap
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (FPosition != FSize)
        FrameStarts(0); // back to the header: every frame is out
    else if (const std::uint32_t samples = FlacFrameSamples(bytes, std::size_t(count)))
        FrameStarts(samples);
    sf_count_t done = 0;
    while (done < count) {
        const ssize_t written =
            pwrite(FDescriptor, bytes + done, std::size_t(count - done), FPosition + done);
        if (written > 0) {
            done += written;
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else {
            FRefused = written < 0 && errno != 0 ? errno : EIO;
            break;
        }
    }
    FPosition += done;
    FSize = std::max(FSize, FPosition);
    return done;
}

void TFlacOutput::Cut() {
    // Shrinking and rewriting bytes in place need no room, so they work on a full disk.
    if (ftruncate(FDescriptor, FWholeEnd) != 0)
        return;
    FSize = FWholeEnd;
    std::uint8_t head[FlacStreamHeadBytes];
    if (FWholeEnd >= sf_count_t(sizeof head) &&
        pread(FDescriptor, head, sizeof head, 0) == ssize_t(sizeof head) &&
        SetFlacStreamLength(head, FWholeSamples))
        (void)!pwrite(FDescriptor, head, sizeof head, 0);
}

std::uint64_t TFlacOutput::Complete() {
    if (FDescriptor < 0)
        return 0;
    std::uint64_t samples = FWholeSamples + FFrameSamples;
    if (FRefused) {
        Cut();
        samples = FWholeSamples;
    }
    if (samples == 0)
        unlink(FPath.c_str()); // nothing was recorded: no file is left to look like a recording
    close(FDescriptor);
    FDescriptor = -1;
    return samples;
}
