#pragma once
#include "device/device_context.h"
#include "device/result_codes.h"

namespace skelder {

// Opens a disk exclusively for the SCSI and ATA routes and reads its SCSI address.
// Returns 1 when the disk is open and addressed, 2 otherwise (handle and last_error tell why).
result_code open_device(device_context& context, const WCHAR* path);

} // namespace skelder
