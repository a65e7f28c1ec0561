// The main window turns level meter values into the display's level columns.
#include "MainFormFixture.h"
#include "controls/OrvalenScreen.h"

#include <cmath>
#include <limits>

TEST(LevelColumns, SixteenStepsOfTheRangeRoundedToEvenAndCappedAtEight) {
    const double full = 32767.0;
    const struct {
        double Fraction;
        int Level;
    } cases[] = {
        {0.0, 0},       {0.5 / 16, 0}, {1.5 / 16, 2}, {2.5 / 16, 2}, {0.1, 2},
        {7.49 / 16, 7}, {7.5 / 16, 8}, {9.0 / 16, 8}, {1.0, 8},      {std::sqrt(0.5), 8},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LevelColumnFromMeterValue(c.Fraction * full, 0.0, full), c.Level) << c.Fraction;
    // An 8-bit stream's full scale is 127.
    EXPECT_EQ(LevelColumnFromMeterValue(127.0 * 3 / 16, 0.0, 127.0), 3);
    // A range of nothing or a value that is not a number gives an empty column, never an
    // undefined conversion.
    EXPECT_EQ(LevelColumnFromMeterValue(5.0, 0.0, 0.0), 0);
    EXPECT_EQ(LevelColumnFromMeterValue(0.0, 0.0, 0.0), 0);
    EXPECT_EQ(LevelColumnFromMeterValue(std::numeric_limits<double>::quiet_NaN(), 0.0, 1.0), 0);
}

TEST_F(MainFormTest, MeterChannelZeroSetsTheLeftColumnOneTheRightAndOthersNothing) {
    TMainForm& form = Start();
    ASSERT_TRUE(FAudio->OnMeterValue);
    FAudio->OnMeterValue(0, 9.0 / 16 * 32767, 0.0, 32767.0);
    FAudio->OnMeterValue(1, 3.0 / 16 * 32767, 0.0, 32767.0);
    FAudio->OnMeterValue(2, 32767.0, 0.0, 32767.0);
    EXPECT_EQ(form.FScreen->volumeLeft(), 8);
    EXPECT_EQ(form.FScreen->volumeRight(), 3);
    FAudio->OnMeterValue(0, 0.0, 0.0, 32767.0);
    EXPECT_EQ(form.FScreen->volumeLeft(), 0);
    EXPECT_EQ(form.FScreen->volumeRight(), 3);
}
