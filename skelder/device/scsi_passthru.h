#pragma once
#include "device/device_context.h"
#include "device/result_codes.h"

namespace skelder {

// Carries the record's ATA command in an ATA PASS-THROUGH block over SCSI pass-through.
result_code issue_scsi_passthru(device_context& context);

} // namespace skelder
