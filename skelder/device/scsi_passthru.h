#pragma once
#include "device/device_context.h"

namespace skelder {

// Carries the record's ATA command in an ATA PASS-THROUGH block over SCSI pass-through.
int32_t issue_scsi_passthru(device_context& context);

} // namespace skelder
