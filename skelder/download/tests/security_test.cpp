#include "download/security.h"

#include <gtest/gtest.h>

namespace skelder {
namespace {

TEST(SecurityState, FromIdentifyWord128) {
    EXPECT_EQ(security_state_from_word(0x0023), 5);
    EXPECT_EQ(security_state_from_word(0x0021), 1);
    EXPECT_EQ(security_state_from_word(0x0027), 4);
    EXPECT_EQ(security_state_from_word(0x0009), 2);
    EXPECT_EQ(security_state_from_word(0x000B), 6);
    EXPECT_EQ(security_state_from_word(0x000F), 6); // frozen wins over locked
    EXPECT_EQ(security_state_from_word(0x0004), 1); // locked without enabled
    EXPECT_EQ(security_state_from_word(0x0000), 1);
}

bool passes(int32_t state, uint64_t l_flag) {
    drive_identity identity;
    identity.security_state = state;
    return security_gate(identity, l_flag, 0);
}

TEST(SecurityGate, LockedNeverPassesEnabledOnlyWithoutL) {
    EXPECT_FALSE(passes(4, 0));
    EXPECT_FALSE(passes(4, 1));
    EXPECT_TRUE(passes(5, 0));
    EXPECT_FALSE(passes(5, 1));
    EXPECT_TRUE(passes(6, 0));
    EXPECT_FALSE(passes(6, 1));
    EXPECT_TRUE(passes(1, 1));
    EXPECT_TRUE(passes(2, 1));
}

} // namespace
} // namespace skelder
