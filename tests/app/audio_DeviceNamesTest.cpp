// The sound device lists the main window offers: one entry per device, every name kept byte for
// byte from the list to the device that opens, and the real default reachable while simulating.
#include "../audio/FakeWaveDevices.h"
#include "app/StreamAudioChain.h"
#include "audio/AudioOut.h"
#include "sim/SimWaveSystem.h"

#include <gtest/gtest.h>

TEST(AudioDeviceNames, AreListedOnceAndOpenTheDeviceOfTheirOwnBytes) {
    struct Case {
        const char* name;
        bool simulate;
        std::vector<std::string> alsa; // the real system's outputs, in order
        QStringList listed;            // what the chain offers after the window's "Default"
        int chosen;                    // the entry the user picks
        std::string stored;            // the name the output keeps
        int resolved;                  // the device it opens
    };
    const Case cases[] = {
        // ALSA lists its default first; the window's "Default" is that device.
        {"default once", false, {"default", "pipewire"}, {"pipewire"}, 0, "pipewire", 1},
        // Bytes that are not UTF-8 show through the single-byte code page and go back as they were.
        {"odd bytes",
         false,
         {"default", "hx\377odd"},
         {QString::fromUtf8("hx\xD1\x8F"
                            "odd")},
         0,
         "hx\377odd",
         1},
        {"utf-8",
         false,
         {"default", "\xD0\x97\xD0\xB2\xD1\x83\xD0\xBA"},
         {QString::fromUtf8("Звук")},
         0,
         "\xD0\x97\xD0\xB2\xD1\x83\xD0\xBA",
         1},
        // While simulating "Default" is the virtual line-out; ALSA's default keeps a name.
        {"simulating",
         true,
         {"default", "pipewire"},
         {"Virtual line-out", "ALSA default", "pipewire"},
         1,
         "ALSA default",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto fake = std::make_unique<TFakeWaveSystem>();
        fake->OutputNames = c.alsa;
        std::unique_ptr<TWaveDeviceSystem> system = std::move(fake);
        if (c.simulate)
            system = std::make_unique<TSimWaveSystem>(
                std::make_shared<TVirtualTuner>(TSimChip::RDA5807M), "", std::move(system));
        TStreamAudioChain chain(std::move(system));
        const QStringList listed = chain.OutDeviceNames();
        EXPECT_EQ(listed, c.listed);
        ASSERT_LT(c.chosen, listed.size());
        chain.SetOutDeviceName(listed[c.chosen]);
        TAudioOutDevice& device = chain.AudioOut1().Device();
        EXPECT_EQ(device.DeviceName(), c.stored);
        EXPECT_EQ(device.ResolveDevice(), c.resolved);
    }
}
