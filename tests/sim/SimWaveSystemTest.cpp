#include "sim/SimWaveSystem.h"

#include "SimSoundTestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A real system with two inputs and three outputs that records what it is asked to open.
class TFakeRealSystem : public TWaveDeviceSystem {
public:
    struct TOpen {
        TWaveDirection Direction;
        int Id;
    };

    explicit TFakeRealSystem(std::vector<TOpen>& opened) : FOpened(opened) {}

    int DeviceCount(TWaveDirection direction) override {
        return direction == TWaveDirection::Input ? 2 : 3;
    }
    std::uint32_t DeviceName(TWaveDirection direction, int id, std::string& name) override {
        if (id < 0 || id >= DeviceCount(direction))
            return WaveErrorBadDeviceId;
        name = (direction == TWaveDirection::Input ? "in " : "out ") + std::to_string(id);
        return WaveNoError;
    }
    std::uint32_t Open(TWaveDirection direction, int id, const std::uint8_t*, TWaveCallback,
                       std::unique_ptr<TWaveHandle>&) override {
        FOpened.push_back({direction, id});
        return WaveErrorNoDriver; // recognisably the real system's answer
    }

private:
    std::vector<TOpen>& FOpened;
};

const TWaveFormat kStereo16 = MakeFormat(2, 48000, 16);
const auto kHeader = HeaderOf(kStereo16);

std::vector<std::string> Names(TWaveDeviceSystem& system, TWaveDirection direction) {
    std::vector<std::string> names;
    for (int id = 0; id < system.DeviceCount(direction); ++id) {
        std::string name;
        EXPECT_EQ(system.DeviceName(direction, id, name), WaveNoError);
        names.push_back(name);
    }
    return names;
}

} // namespace

TEST(SimWaveSystem, VirtualDevicesComeFirstAndRealOnesFollow) {
    std::vector<TFakeRealSystem::TOpen> opened;
    TSimWaveSystem system(std::make_shared<TVirtualTuner>(TSimChip::RDA5807M), "",
                          std::make_unique<TFakeRealSystem>(opened));
    EXPECT_EQ(Names(system, TWaveDirection::Input),
              (std::vector<std::string>{"Virtual line-in", "in 0", "in 1"}));
    EXPECT_EQ(Names(system, TWaveDirection::Output),
              (std::vector<std::string>{"Virtual line-out", "out 0", "out 1", "out 2"}));
    std::string name;
    EXPECT_NE(system.DeviceName(TWaveDirection::Input, 3, name), WaveNoError);
    EXPECT_NE(system.DeviceName(TWaveDirection::Input, -1, name), WaveNoError);

    for (TWaveDirection direction : {TWaveDirection::Input, TWaveDirection::Output}) {
        for (int id : {WaveMapper, 0}) {
            std::unique_ptr<TWaveHandle> handle;
            ASSERT_EQ(system.Open(direction, id, kHeader.data(), nullptr, handle), WaveNoError);
            const bool virtualDevice =
                direction == TWaveDirection::Input
                    ? dynamic_cast<TVirtualLineIn*>(handle.get()) != nullptr
                    : dynamic_cast<TVirtualLineOut*>(handle.get()) != nullptr;
            EXPECT_TRUE(virtualDevice);
        }
        std::unique_ptr<TWaveHandle> handle;
        EXPECT_EQ(system.Open(direction, 2, kHeader.data(), nullptr, handle), WaveErrorNoDriver);
        EXPECT_EQ(system.Open(direction, -2, kHeader.data(), nullptr, handle),
                  WaveErrorBadDeviceId);
    }
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].Direction, TWaveDirection::Input);
    EXPECT_EQ(opened[0].Id, 1);
    EXPECT_EQ(opened[1].Direction, TWaveDirection::Output);
    EXPECT_EQ(opened[1].Id, 1);

    std::array<std::uint8_t, 40> bad = kHeader;
    bad[0] = 0x55; // no PCM format tag
    std::unique_ptr<TWaveHandle> handle;
    EXPECT_EQ(system.Open(TWaveDirection::Input, 0, bad.data(), nullptr, handle),
              WaveErrorBadFormat);
}

TEST(SimWaveSystem, WithoutARealSystemOnlyTheVirtualDevicesExist) {
    TSimWaveSystem system(std::make_shared<TVirtualTuner>(TSimChip::TEA5767), "", nullptr);
    EXPECT_EQ(Names(system, TWaveDirection::Output),
              (std::vector<std::string>{"Virtual line-out"}));
    std::unique_ptr<TWaveHandle> handle;
    EXPECT_EQ(system.Open(TWaveDirection::Output, 1, kHeader.data(), nullptr, handle),
              WaveErrorBadDeviceId);
}

TEST(SimWaveSystem, OneLineOutAtATimeRecordsWhatItPlays) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("rec.wav").toStdString();
    TSimWaveSystem system(std::make_shared<TVirtualTuner>(TSimChip::RDA5807M), path, nullptr);
    system.SetClockRate(TWaveDirection::Output, 10.0);

    TCallbackLog log;
    TTestBuffers buffers(3, 1024 * kStereo16.BlockAlign, 0x11);
    std::unique_ptr<TWaveHandle> out, second;
    ASSERT_EQ(system.Open(TWaveDirection::Output, WaveMapper, kHeader.data(), log.Callback(), out),
              WaveNoError);
    EXPECT_EQ(system.Open(TWaveDirection::Output, 0, kHeader.data(), nullptr, second),
              WaveErrorAllocated);
    for (auto& header : buffers.Headers)
        ASSERT_EQ(out->AddBuffer(&header), WaveNoError);
    ASSERT_TRUE(log.WaitFor(4)); // three played, then dry
    EXPECT_EQ(log.Entries()[3].Message, TWaveMessage::Underrun);
    ASSERT_EQ(out->Close(), WaveNoError);
    EXPECT_EQ(system.Open(TWaveDirection::Output, 0, kHeader.data(), nullptr, second), WaveNoError);

    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.size(), 44 + 3 * 1024 * 4);
    EXPECT_EQ(bytes.count(char(0x11)), 3 * 1024 * 4);
    EXPECT_EQ(system.RecordingError(), "");
}

TEST(SimWaveSystem, AFailingRecordingLeavesTheSoundPlaying) {
    QTemporaryDir dir;
    TSimWaveSystem system(std::make_shared<TVirtualTuner>(TSimChip::RDA5807M),
                          dir.filePath("gone/rec.wav").toStdString(), nullptr);
    system.SetClockRate(TWaveDirection::Output, 10.0);
    TCallbackLog log;
    TTestBuffers buffers(2, 1024 * kStereo16.BlockAlign);
    std::unique_ptr<TWaveHandle> out;
    ASSERT_EQ(system.Open(TWaveDirection::Output, 0, kHeader.data(), log.Callback(), out),
              WaveNoError);
    for (auto& header : buffers.Headers)
        ASSERT_EQ(out->AddBuffer(&header), WaveNoError);
    ASSERT_TRUE(log.WaitFor(3));
    EXPECT_EQ(log.Entries()[2].Message, TWaveMessage::Underrun);
    EXPECT_NE(system.RecordingError().find("gone/rec.wav"), std::string::npos);
}
