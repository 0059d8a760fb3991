#pragma once
#include "device/device_context.h"
#include "device/result_codes.h"

namespace skelder {

// Carries the record's ATA command over Windows ATA pass-through (direct).
result_code issue_ata_passthru(device_context& context);

} // namespace skelder
