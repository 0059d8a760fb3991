#include "download/security.h"

#include <stdio.h>

namespace skelder {

namespace {
constexpr uint16_t security_enabled = 1u << 1;
constexpr uint16_t security_locked = 1u << 2;
constexpr uint16_t security_frozen = 1u << 3;
} // namespace

int32_t security_state_from_word(uint16_t security_word) {
    const bool enabled = (security_word & security_enabled) != 0;
    if ((security_word & security_frozen) != 0) {
        return enabled ? sec6_enabled_frozen : sec2_disabled_frozen;
    }
    if (enabled) {
        return (security_word & security_locked) != 0 ? sec4_locked : sec5_enabled;
    }
    return sec1_disabled;
}

bool security_gate(const drive_identity& identity, uint64_t l_flag, int32_t verbosity) {
    const char* refusal = nullptr;
    if (identity.security_state == sec4_locked) {
        refusal = "Err: ATA SECURITY LOCKED";
    } else if (l_flag != 0 && identity.security_state == sec5_enabled) {
        refusal = "Err: ATA SECURITY ENABLED (SEC5)";
    } else if (l_flag != 0 && identity.security_state == sec6_enabled_frozen) {
        refusal = "Err: ATA SECURITY ENABLED (SEC6)";
    }
    if (refusal == nullptr) {
        return true;
    }
    if (verbosity != 0) {
        printf("%s\n", refusal);
    }
    return false;
}

} // namespace skelder
