// The equalizer window's bands and gains as a screen reader says them.
#include "equalizer/UnitEqualizer.h"

#include <gtest/gtest.h>

namespace {

TEST(SpokenEqualizer, BandsInHertzOrKilohertz) {
    const struct {
        int frequency;
        const char* name;
    } cases[] = {{80, "80 Гц"},     {600, "600 Гц"},   {999, "999 Гц"}, {1000, "1 кГц"},
                 {14000, "14 кГц"}, {1500, "1.5 кГц"}, {31, "31 Гц"}};
    for (const auto& c : cases)
        EXPECT_EQ(FrequencySpokenName(c.frequency).toStdString(), c.name) << c.frequency;
}

TEST(SpokenEqualizer, GainInWholeDecibelsOfTheBandsAmplitude) {
    // Position −15 is the top of the slider, a gain of 1.9; +15 the bottom, 0.1.
    const struct {
        int position;
        const char* text;
    } cases[] = {{0, "0 дБ"},  {-15, "+6 дБ"}, {-5, "+2 дБ"}, {-1, "+1 дБ"},
                 {1, "−1 дБ"}, {5, "−3 дБ"},   {10, "−8 дБ"}, {15, "−20 дБ"}};
    for (const auto& c : cases)
        EXPECT_EQ(GainSpokenText(c.position).toStdString(), c.text) << c.position;
}

} // namespace
