#pragma once
#include "device/device_context.h"

namespace skelder {

// Carries the record's ATA command over Windows ATA pass-through (direct).
int32_t issue_ata_passthru(device_context& context);

} // namespace skelder
