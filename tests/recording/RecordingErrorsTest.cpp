// Folders and files that cannot take a recording, and a disk that fills up while one runs.
#include "recording/RecordingFile.h"
#include "recording/RecordingWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

namespace {

// While it lives, files of this process cannot grow past `bytes`, as on a full disk.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &FSaved);
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = FSaved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &FSaved);
        std::signal(SIGXFSZ, FOldHandler);
    }

private:
    rlimit FSaved{};
    void (*FOldHandler)(int);
};

} // namespace

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
