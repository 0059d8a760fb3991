#pragma once
// ATA security state (word 128 of IDENTIFY) and the gate the run applies before a download.

#include "device/drive_identity.h"

#include <cstdint>

namespace skelder {

inline constexpr int32_t sec1_disabled = 1;
inline constexpr int32_t sec2_disabled_frozen = 2;
inline constexpr int32_t sec4_locked = 4;
inline constexpr int32_t sec5_enabled = 5;
inline constexpr int32_t sec6_enabled_frozen = 6;

// The security state number (1, 2, 4, 5 or 6) of an IDENTIFY word 128.
int32_t security_state_from_word(uint16_t security_word);

// Whether the run may download to the drive. A locked drive never passes; with "/l" a drive
// whose security is enabled does not pass either. Prints the refusal when verbosity is not 0.
bool security_gate(const drive_identity& identity, uint64_t l_flag, int32_t verbosity);

} // namespace skelder
