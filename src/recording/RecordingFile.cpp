#include "recording/RecordingFile.h"

#include "recording/RecordingFlacOutput.h"
#include "recording/RecordingSamples.h"
#include "recording/SndfileLibrary.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

std::string CannotCreate(const char* what, const std::string& path, const std::string& reason) {
    return std::string("Cannot create ") + what + " \"" + path + "\". " + reason;
}

class TFlacFile : public IRecordingFile {
public:
    TFlacFile(const TSndfileLibrary& sndfile, SNDFILE* file, std::unique_ptr<TFlacOutput> output,
              std::string path, const TRecordingFormat& format)
        : FSndfile(sndfile), FFile(file), FOutput(std::move(output)), FPath(std::move(path)),
          FChannels(format.Channels), FShift(32 - FlacBitsFor(format.ContainerBits)) {}
    ~TFlacFile() override { Close(); }

    std::string Write(const std::int32_t* samples, std::size_t frames) override {
        if (!FFile)
            return "The file is closed.";
        // libsndfile takes int samples at 32-bit scale and keeps their upper bits.
        FScaled.resize(frames * FChannels);
        for (std::size_t i = 0; i < FScaled.size(); ++i)
            FScaled[i] = int(std::uint32_t(samples[i]) << FShift);
        const sf_count_t written = FSndfile.WritefInt(FFile, FScaled.data(), sf_count_t(frames));
        if (written != sf_count_t(frames) || FSndfile.Error(FFile) != SF_ERR_NO_ERROR)
            return Failure(FSndfile.StrError(FFile));
        return {};
    }

    std::string Close() override {
        if (!FFile)
            return {};
        SNDFILE* file = FFile;
        FFile = nullptr;
        // The encoder writes what it holds and the stream header's final sizes here; then a
        // file the disk refused is cut back to its whole frames.
        const int result = FSndfile.Close(file);
        FFrames = FOutput->Complete();
        if (result != SF_ERR_NO_ERROR || FOutput->Refused())
            return Failure(FSndfile.ErrorNumber(result));
        return {};
    }

    std::uint64_t Frames() const override { return FFrames; }

private:
    std::string Failure(const char* reason) const {
        // The system's word for a refused write ("No space left on device") is clearer than
        // the library's "System error".
        const int refused = FOutput->Refused();
        return "Cannot write file \"" + FPath + "\". " +
               (refused ? std::strerror(refused) : reason);
    }

    const TSndfileLibrary& FSndfile;
    SNDFILE* FFile;
    std::unique_ptr<TFlacOutput> FOutput;
    std::string FPath;
    unsigned FChannels;
    unsigned FShift;
    std::vector<int> FScaled;
    std::uint64_t FFrames = 0;
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
    const TSndfileLibrary* sndfile = Sndfile(error);
    if (!sndfile) {
        error = CannotCreate("file", path, error);
        return nullptr;
    }
    const int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        error = CannotCreate("file", path, std::string(std::strerror(errno)) + ".");
        return nullptr;
    }
    auto output = std::make_unique<TFlacOutput>(descriptor, path);
    SF_INFO info{};
    info.samplerate = int(format.SampleRate);
    info.channels = int(format.Channels);
    info.format = SF_FORMAT_FLAC | SubtypeFor(bits);
    SNDFILE* file = sndfile->OpenVirtual(&TFlacOutput::Callbacks(), SFM_WRITE, &info, output.get());
    if (!file) {
        error = CannotCreate("file", path, sndfile->StrError(nullptr));
        output->Complete(); // removes the empty file
        return nullptr;
    }
    error.clear();
    return std::make_unique<TFlacFile>(*sndfile, file, std::move(output), path, format);
}
