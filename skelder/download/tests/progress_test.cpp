#include "download/progress.h"

#include <gtest/gtest.h>

namespace skelder {
namespace {

TEST(Progress, FourTransfersShowQuartersWithGrowingBars) {
    const float expected_percent[4] = {0, 25, 50, 75};
    const int expected_bar[4] = {1, 6, 11, 16};
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(progress_percent(i, 4), expected_percent[i]);
        EXPECT_EQ(progress_bar_length(progress_percent(i, 4)), expected_bar[i]);
    }
}

TEST(Progress, NeverReaches100AndRoundsDown) {
    EXPECT_EQ(progress_percent(2, 3), 66.0f);
    EXPECT_EQ(progress_percent(65535, 65536), 99.0f);
    EXPECT_EQ(progress_bar_length(progress_percent(65535, 65536)), 20);
}

TEST(Progress, SpinnerCyclesThroughFourCharacters) {
    EXPECT_EQ(spinner_char(0), '|');
    EXPECT_EQ(spinner_char(1), '/');
    EXPECT_EQ(static_cast<unsigned char>(spinner_char(2)), 0xC4);
    EXPECT_EQ(spinner_char(3), '\\');
    EXPECT_EQ(spinner_char(4), '|');
}

} // namespace
} // namespace skelder
