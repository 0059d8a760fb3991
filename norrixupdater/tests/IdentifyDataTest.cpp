#include "IdentifyData.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace {

using IdentifyBlock = std::array<BYTE, IDENTIFY_DATA_BYTES>;

void PutWord(IdentifyBlock& data, int nWord, WORD value) {
    data[2 * nWord] = static_cast<BYTE>(value & 0xFF);
    data[2 * nWord + 1] = static_cast<BYTE>(value >> 8);
}

// An ATA string: two characters a word, the first in the high byte.
void PutAtaString(IdentifyBlock& data, int nFirstWord, const std::string& text) {
    for (size_t i = 0; i < text.size(); i += 2) {
        const auto hi = static_cast<BYTE>(text[i]);
        const auto lo = static_cast<BYTE>(i + 1 < text.size() ? text[i + 1] : ' ');
        PutWord(data, nFirstWord + static_cast<int>(i / 2), static_cast<WORD>(hi << 8 | lo));
    }
}

TEST(NorrixIdentifyData, StringsReadInOrderWithTrailingSpacesAndZeroEnd) {
    IdentifyBlock data{};
    PutAtaString(data, 27, "NORRIX NX-2000                          ");
    PutAtaString(data, 23, "NX01    ");
    PutAtaString(data, 10, "SN1234567890        ");
    char sz[ATA_STRING_BUFFER];
    std::memset(sz, 'x', sizeof(sz));
    CopyModelNumber(data.data(), sz);
    EXPECT_EQ(std::string(sz), "NORRIX NX-2000                          ");
    EXPECT_EQ(std::strlen(sz), 40u);
    EXPECT_EQ(sz[ATA_STRING_BUFFER - 1], '\0');
    CopyFirmwareRevision(data.data(), sz);
    EXPECT_EQ(std::string(sz), "NX01    ");
    CopySerialNumber(data.data(), sz);
    EXPECT_EQ(std::string(sz), "SN1234567890        ");
}

TEST(NorrixIdentifyData, SecurityIsWord128Bit1) {
    IdentifyBlock data{};
    PutWord(data, 128, 0x0001); // supported, not enabled
    EXPECT_FALSE(IsSecurityEnabled(data.data()));
    PutWord(data, 128, 0x0002);
    EXPECT_TRUE(IsSecurityEnabled(data.data()));
    PutWord(data, 127, 0xFFFF);
    PutWord(data, 128, 0xFFFD);
    EXPECT_FALSE(IsSecurityEnabled(data.data()));
}

TEST(NorrixIdentifyData, TypeCharacterIsHighByteOfWord153) {
    IdentifyBlock data{};
    PutWord(data, 153, 0x5931); // 'Y' high, '1' low
    EXPECT_EQ(DatafileTypeOf(data.data()), 'Y');
    EXPECT_EQ(IdentifyWord(data.data(), 153), 0x5931);
    PutWord(data, 153, 0x8041);
    EXPECT_EQ(DatafileTypeOf(data.data()), 0x80);
}

} // namespace
