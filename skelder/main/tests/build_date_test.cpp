#include "main/build_date.h"

#include <gtest/gtest.h>

#include <string>

namespace skelder {
namespace {

TEST(BuildDate, OneDigitDayLosesItsPaddingBlank) {
    EXPECT_EQ(std::string(banner_date("Sep  4 2016").text), "Sep 4 2016");
    EXPECT_EQ(std::string(banner_date("Sep 14 2016").text), "Sep 14 2016");
}

} // namespace
} // namespace skelder
