// Folders and files that cannot take a recording, and a disk that fills up while one runs.
#include "FileSizeLimit.h"
#include "recording/RecordingFile.h"
#include "recording/RecordingWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(RecordingErrors, AFolderThatCannotBeMadeIsRefusedWithItsReason) {
    QTemporaryDir dir;
    QFile(dir.filePath("Music")).open(QIODevice::WriteOnly);
    struct TCase {
        std::string Folder;
        std::string Reason;
    };
    std::vector<TCase> cases = {
        {dir.filePath("Music").toStdString(), "A file of that name is in the way."},
        {dir.filePath("Music/Orvalen").toStdString(), "A file is in the way of its path."},
        // No user may make folders here.
        {"/proc/orvalen-recordings", "Cannot create folder"},
    };
    if (geteuid() != 0) { // permissions bind everyone but root
        const QString locked = dir.filePath("locked");
        ASSERT_EQ(mkdir(locked.toLocal8Bit().constData(), 0500), 0);
        cases.push_back({(locked + "/Orvalen").toStdString(), "Permission denied"});
    }
    for (const TCase& c : cases) {
        const std::string error = PrepareRecordingFolder(c.Folder);
        EXPECT_NE(error.find("Cannot create folder \"" + c.Folder + "\""), std::string::npos)
            << error;
        EXPECT_NE(error.find(c.Reason), std::string::npos) << error;
    }
    const std::string fresh = dir.filePath("a/b/Orvalen").toStdString();
    EXPECT_EQ(PrepareRecordingFolder(fresh), "");
    EXPECT_EQ(PrepareRecordingFolder(fresh), ""); // there already
}

TEST(RecordingErrors, AFileThatCannotBeCreatedSaysWhy) {
    std::string error;
    EXPECT_FALSE(CreateFlacFile("/proc/orvalen.flac", {2, 44100, 16}, error));
    EXPECT_EQ(error.rfind("Cannot create file \"/proc/orvalen.flac\". ", 0), 0u) << error;
    // A format FLAC cannot hold.
    EXPECT_FALSE(CreateFlacFile("/tmp/never.flac", {2, 44100, 12}, error));
    EXPECT_NE(error.find("FLAC cannot hold"), std::string::npos) << error;
}

TEST(RecordingErrors, ADiskThatFillsUpEndsTheRecordingWithAMessageAndTheSoundGoesOn) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("full.flac").toStdString();
    const TRecordingFormat format{2, 44100, 16};
    std::string error;
    std::atomic<int> reports{0};
    std::string reported, finished;
    std::uint64_t dropped = 0;
    {
        TFileSizeLimit limit(64 * 1024);
        auto file = CreateFlacFile(path, format, error);
        ASSERT_TRUE(file) << error;
        TRecordingWriter writer(std::move(file), format);
        writer.OnError = [&](const std::string& text) {
            if (++reports == 1)
                reported = text;
        };
        // Noise does not compress: a few seconds overflow the limit many times over.
        std::vector<std::uint8_t> buffer(4096);
        unsigned seed = 1;
        for (int n = 0; n < 200; ++n) {
            for (std::uint8_t& b : buffer)
                b = std::uint8_t((seed = seed * 1103515245 + 12345) >> 16);
            writer.Push(buffer.data(), buffer.size()); // never waits, whatever the disk does
            if (n % 8 == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        finished = writer.Finish();
        dropped = writer.Dropped();
    }
    EXPECT_EQ(reports.load(), 1);
    EXPECT_EQ(reported.rfind("Cannot write file \"" + path + "\". File too large", 0), 0u)
        << reported;
    EXPECT_EQ(finished, reported);
    (void)dropped;
    // What reached the disk before it filled is still a FLAC file that opens.
    SF_INFO info{};
    SNDFILE* back = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_TRUE(back) << sf_strerror(nullptr);
    if (back)
        sf_close(back);
}

namespace {

// Samples in the range of the file's bits that do not compress: each frame of the file is about
// as large as its sound, so a limit is reached at a known pace.
std::vector<std::int32_t> Noise(std::size_t count, unsigned fileBits) {
    std::vector<std::int32_t> samples(count);
    std::uint32_t seed = 7;
    for (std::int32_t& sample : samples) {
        seed = seed * 1664525u + 1013904223u;
        sample = std::int32_t(seed) >> (32 - fileBits);
    }
    return samples;
}

// "flac -t": the reference decoder's verdict on the whole file; "" when it is sound. (A plain
// fork: QProcess's way of starting a child confuses ThreadSanitizer's view of this process.)
std::string FlacToolComplaint(const std::string& path) {
    int output[2];
    if (pipe(output) != 0)
        return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        dup2(output[1], STDOUT_FILENO);
        dup2(output[1], STDERR_FILENO);
        close(output[0]);
        execlp("flac", "flac", "-t", "-s", path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(output[1]);
    std::string said;
    char buffer[512];
    for (ssize_t n; (n = read(output[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, std::size_t(n));
    close(output[0]);
    int status = -1;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return "flac did not run";
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return {};
    return "flac -t: " + said;
}

// What libsndfile reads back, at the file's own bits, to the end of the sound whatever the
// stream header says; info.frames is the header's length.
std::vector<std::int32_t> ReadBack(const std::string& path, unsigned fileBits, SF_INFO& info) {
    info = SF_INFO{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<std::int32_t> samples;
    if (!file)
        return samples;
    std::vector<int> scaled(std::size_t(4096 * info.channels));
    for (sf_count_t read; (read = sf_readf_int(file, scaled.data(), 4096)) > 0;)
        for (sf_count_t i = 0; i < read * info.channels; ++i)
            samples.push_back(scaled[std::size_t(i)] >> (32 - fileBits));
    sf_close(file);
    return samples;
}

} // namespace

TEST(RecordingErrors, AFileCutShortByAFullDiskKeepsWhatItHoldsPlayable) {
    QTemporaryDir dir;
    struct TCase {
        const char* Name;
        TRecordingFormat Format;
        unsigned FileBits;
        std::size_t Frames; // of noise offered
        off_t Limit;        // bytes the disk takes; 0: all but the last one of the whole file
    };
    const TCase cases[] = {
        {"stereo16.flac", {2, 44100, 16}, 16, 44100, 64 * 1024},
        {"mono24.flac", {1, 48000, 24}, 24, 48000, 40000},
        {"stereo8.flac", {2, 8000, 8}, 8, 8000, 10000},
        // Everything fits but the last frame, which the file's completion writes.
        {"closing.flac", {2, 44100, 16}, 16, 3 * 4096 + 1000, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = dir.filePath(c.Name).toStdString();
        const std::vector<std::int32_t> noise = Noise(c.Frames * c.Format.Channels, c.FileBits);
        const auto writeAll = [&](std::size_t& framesTaken) {
            std::string error;
            auto file = CreateFlacFile(path, c.Format, error);
            EXPECT_TRUE(file) << error;
            if (!file)
                return error;
            const std::size_t chunk = 1000;
            for (framesTaken = 0; framesTaken < c.Frames && error.empty();) {
                const std::size_t frames = std::min(chunk, c.Frames - framesTaken);
                error = file->Write(noise.data() + framesTaken * c.Format.Channels, frames);
                framesTaken += frames;
            }
            const std::string closing = file->Close();
            return error.empty() ? closing : error;
        };
        std::size_t offered = 0;
        off_t limit = c.Limit;
        if (limit == 0) {
            ASSERT_EQ(writeAll(offered), "");
            limit = off_t(QFileInfo(QString::fromStdString(path)).size()) - 1;
        }
        std::string error;
        {
            TFileSizeLimit full{rlim_t(limit)};
            error = writeAll(offered);
        }
        EXPECT_EQ(error.rfind("Cannot write file \"" + path + "\". File too large", 0), 0u)
            << error;
        EXPECT_EQ(FlacToolComplaint(path), "");
        // The file holds a start of what it was given, every sample of it, and says how long.
        SF_INFO info;
        const std::vector<std::int32_t> back = ReadBack(path, c.FileBits, info);
        EXPECT_GT(info.frames, 0);
        EXPECT_LT(info.frames, sf_count_t(offered));
        EXPECT_EQ(back.size(), std::size_t(info.frames) * c.Format.Channels);
        ASSERT_LE(back.size(), noise.size());
        EXPECT_TRUE(std::equal(back.begin(), back.end(), noise.begin()));
    }
}
