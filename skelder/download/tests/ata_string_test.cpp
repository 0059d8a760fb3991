#include "download/ata_string.h"

#include <gtest/gtest.h>

#include <string>

namespace skelder {
namespace {

// Stores text the way IDENTIFY does: two characters per word, the first in the high byte.
std::string as_identify_field(const std::string& text) {
    std::string field = text;
    for (size_t i = 0; i + 1 < field.size(); i += 2) {
        std::swap(field[i], field[i + 1]);
    }
    return field;
}

std::string convert(const std::string& field) {
    return ata_string(reinterpret_cast<const unsigned char*>(field.data()), field.size());
}

TEST(AtaString, SwapsBytesAndTrimsPadding) {
    EXPECT_EQ(convert(as_identify_field("HT1000" + std::string(34, ' '))), "HT1000");
    EXPECT_EQ(convert(as_identify_field("  HALVERN HT1000  X1")), "HALVERN HT1000  X1");
}

TEST(AtaString, WhiteSpaceOnlyGivesEmptyText) {
    EXPECT_EQ(convert(std::string(20, ' ')), "");
    EXPECT_EQ(convert(as_identify_field(" \t\v\r\n ")), "");
}

TEST(AtaString, ZeroBytesStayInTheText) {
    const std::string field = as_identify_field(std::string("AB\0\0", 4));
    EXPECT_EQ(convert(field), std::string("AB\0\0", 4));
}

TEST(AtaStringDeathTest, OddOrEmptyFieldStopsTheProgram) {
    const unsigned char field[4] = {'A', 'B', 'C', 'D'};
    const char* text = "0 != length && 0 == \\( length %2 \\) && NULL != source_buffer";
    EXPECT_DEATH(ata_string(field, 3), text);
    EXPECT_DEATH(ata_string(field, 0), text);
    EXPECT_DEATH(ata_string(nullptr, 4), text);
}

} // namespace
} // namespace skelder
