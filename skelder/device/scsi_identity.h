#pragma once
#include "device/device_context.h"
#include "device/drive_identity.h"

namespace skelder {

// Fills vendor, model, firmware revision and serial number from SCSI INQUIRY data,
// whatever the route; failures leave the texts as they were.
void read_scsi_identity(device_context& context, drive_identity& identity);

} // namespace skelder
