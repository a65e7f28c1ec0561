#include "audio/AudioDevice.h"

#include "FakeWaveDevices.h"

#include <gtest/gtest.h>

namespace {
struct TWarning {
    std::string Text;
    std::uint32_t Code;
    bool operator==(const TWarning&) const = default;
};

class AudioDeviceTest : public ::testing::Test {
protected:
    AudioDeviceTest() {
        Owner.OnWarning = [this](TAudioComponent*, const std::string& text, std::uint32_t code) {
            Warnings.push_back({text, code});
        };
    }
    TFakeWaveSystem System; // inputs: "USB Audio", "Line In", "Tuner"
    TAudioComponent Owner;
    TAudioCaptureDevice Device{Owner, System};
    std::vector<TWarning> Warnings;
};
} // namespace

TEST_F(AudioDeviceTest, ResolvesDefaultExactNamesAndAlternatives) {
    struct Case {
        std::string name;
        std::vector<std::string> alternatives;
        int id;
    };
    const Case cases[] = {
        {"default", {}, WaveMapper},
        {"Default", {}, WaveMapper},
        {"DEFAULT", {}, WaveMapper},
        {"Line In", {}, 1},
        {"Tuner", {}, 2},
        {"line in", {}, WaveMapper}, // names match in their exact letter case only
        {"Gone", {}, WaveMapper},    // a device that disappeared: the default, silently
        {"Gone", {"Also gone", "Tuner"}, 2},
        {"Gone", {"Also gone", "dEfAuLt", "Tuner"}, WaveMapper},
        {"USB Audio", {"Tuner"}, 0},
    };
    for (const Case& c : cases) {
        Device.SetDeviceName(c.name);
        Device.AlternativeDevices() = c.alternatives;
        EXPECT_EQ(Device.ResolveDevice(), c.id) << c.name;
    }
    EXPECT_TRUE(Warnings.empty());
}

TEST_F(AudioDeviceTest, UnreadableDeviceWarnsEndsTheListAndResolvesToTheFirstDevice) {
    System.NameFailures[1] = WaveErrorNoMemory;

    std::vector<std::string> names{"Default"};
    Device.GetDeviceNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"Default", "USB Audio"}));
    EXPECT_EQ(Warnings, (std::vector<TWarning>{{"Can't get device capabilities.", 7}}));

    Warnings.clear();
    Device.SetDeviceName("Tuner");
    EXPECT_EQ(Device.ResolveDevice(), 0);
    EXPECT_EQ(Warnings, (std::vector<TWarning>{{"Can't get device capabilities.", 7}}));

    // A name found before the unreadable device needs no warning.
    Warnings.clear();
    Device.SetDeviceName("USB Audio");
    EXPECT_EQ(Device.ResolveDevice(), 0);
    EXPECT_TRUE(Warnings.empty());
}

TEST_F(AudioDeviceTest, ListsEveryDeviceOfItsDirection) {
    std::vector<std::string> names;
    Device.GetDeviceNames(names);
    EXPECT_EQ(names, System.InputNames);

    TAudioOutDevice output(Owner, System);
    names.clear();
    output.GetDeviceNames(names);
    EXPECT_EQ(names, System.OutputNames);
    output.SetDeviceName("Headphones");
    EXPECT_EQ(output.ResolveDevice(), 1);
    EXPECT_EQ(output.DeviceName(), "Headphones");
    EXPECT_EQ(Device.DeviceName(), "Default");
}
