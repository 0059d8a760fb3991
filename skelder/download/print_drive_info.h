#pragma once
#include "device/drive_identity.h"

#include <cstdint>

namespace skelder {

// Prints the drive's identity, capabilities, security state and the segment size.
void print_drive_info(const drive_identity& identity, uint8_t segment_blocks);

} // namespace skelder
