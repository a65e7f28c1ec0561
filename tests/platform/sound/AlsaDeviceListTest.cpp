#include "platform/sound/AlsaDeviceList.h"

#include <gtest/gtest.h>

using TNames = std::vector<std::string>;

TEST(AlsaDeviceListTest, DefaultFirstNullNeverAndEachDirectionItsOwn) {
    const std::vector<TAlsaHint> hints = {
        {"null", std::nullopt},
        {"sysdefault:CARD=X", std::nullopt},
        {"dsnoop:CARD=X,DEV=0", std::string("Input")},
        {"default", std::nullopt},
        {"dmix:CARD=X,DEV=0", std::string("Output")},
        {"", std::nullopt},
    };
    EXPECT_EQ(SelectWaveDevices(hints, TWaveDirection::Input),
              (TNames{"default", "sysdefault:CARD=X", "dsnoop:CARD=X,DEV=0"}));
    EXPECT_EQ(SelectWaveDevices(hints, TWaveDirection::Output),
              (TNames{"default", "sysdefault:CARD=X", "dmix:CARD=X,DEV=0"}));
    // No hints at all (no cards, no configuration): the default device is still there.
    EXPECT_EQ(SelectWaveDevices({}, TWaveDirection::Input), TNames{"default"});
}
