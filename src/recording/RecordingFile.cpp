#include "recording/RecordingFile.h"

#include "recording/RecordingSamples.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sndfile.h>
#include <system_error>
#include <vector>

namespace {

std::string CannotCreate(const char* what, const std::string& path, const std::string& reason) {
    return std::string("Cannot create ") + what + " \"" + path + "\". " + reason;
}

class TFlacFile : public IRecordingFile {
public:
    TFlacFile(SNDFILE* file, std::string path, const TRecordingFormat& format)
        : FFile(file), FPath(std::move(path)), FChannels(format.Channels),
          FShift(32 - FlacBitsFor(format.ContainerBits)) {}
    ~TFlacFile() override { Close(); }

    std::string Write(const std::int32_t* samples, std::size_t frames) override {
        if (!FFile)
            return "The file is closed.";
        // libsndfile takes int samples at 32-bit scale and keeps their upper bits.
        FScaled.resize(frames * FChannels);
        for (std::size_t i = 0; i < FScaled.size(); ++i)
            FScaled[i] = int(std::uint32_t(samples[i]) << FShift);
        const sf_count_t written = sf_writef_int(FFile, FScaled.data(), sf_count_t(frames));
        if (written != sf_count_t(frames) || sf_error(FFile) != SF_ERR_NO_ERROR)
            return Failure();
        return {};
    }

    std::string Close() override {
        if (!FFile)
            return {};
        SNDFILE* file = FFile;
        FFile = nullptr;
        // The encoder writes what it holds and the stream header's final sizes here.
        const int result = sf_close(file);
        return result == SF_ERR_NO_ERROR ? std::string() : Failure(sf_error_number(result));
    }

private:
    std::string Failure(const char* reason = nullptr) {
        const int error = errno;
        std::string text = reason ? reason : sf_strerror(FFile);
        if (error == ENOSPC || error == EFBIG || error == EDQUOT)
            text = std::strerror(error); // the system's word is clearer than "System error"
        return "Cannot write file \"" + FPath + "\". " + text;
    }

    SNDFILE* FFile;
    std::string FPath;
    unsigned FChannels;
    unsigned FShift;
    std::vector<int> FScaled;
};

int SubtypeFor(unsigned flacBits) {
    switch (flacBits) {
    case 8:
        return SF_FORMAT_PCM_S8;
    case 16:
        return SF_FORMAT_PCM_16;
    default:
        return SF_FORMAT_PCM_24;
    }
}

} // namespace

std::string PrepareRecordingFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::is_directory(folder, error))
        return {};
    if (fs::exists(folder, error))
        return CannotCreate("folder", folder, "A file of that name is in the way.");
    fs::create_directories(folder, error);
    if (error) {
        // A file in place of one of the parent folders.
        if (error == std::errc::not_a_directory || error == std::errc::file_exists)
            return CannotCreate("folder", folder, "A file is in the way of its path.");
        return CannotCreate("folder", folder, error.message() + ".");
    }
    return {};
}

std::unique_ptr<IRecordingFile> CreateFlacFile(const std::string& path,
                                               const TRecordingFormat& format, std::string& error) {
    const unsigned bits = FlacBitsFor(format.ContainerBits);
    if (bits == 0 || format.Channels == 0 || format.Channels > 8 || format.SampleRate == 0 ||
        format.SampleRate > 655350) {
        error = CannotCreate("file", path, "FLAC cannot hold this sound format.");
        return nullptr;
    }
    SF_INFO info{};
    info.samplerate = int(format.SampleRate);
    info.channels = int(format.Channels);
    info.format = SF_FORMAT_FLAC | SubtypeFor(bits);
    errno = 0;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        const int reason = errno;
        error = CannotCreate(
            "file", path, reason ? std::string(std::strerror(reason)) + "." : sf_strerror(nullptr));
        return nullptr;
    }
    error.clear();
    return std::make_unique<TFlacFile>(file, path, format);
}
