#pragma once
#include "device/device_context.h"
#include "device/result_codes.h"
#include "device/drive_identity.h"

namespace skelder {

// What the identification is for: the first one decides the security gate, so on the SCSI
// route it asks the SAT layer for the drive's returned status (CK_COND); a later one only
// refreshes the identity.
enum class identify_purpose { gate, refresh };

// Sends IDENTIFY DEVICE and, on success, fills the identity from it and from the
// capabilities log page. Returns the result of the IDENTIFY command.
result_code read_identify(device_context& context, drive_identity& identity,
                          identify_purpose purpose);

// Reads page 3 of the IDENTIFY DEVICE data log and turns on the deferred download flags it
// reports. Failures are silent.
void read_dm_capabilities(device_context& context, drive_identity& identity);

} // namespace skelder
