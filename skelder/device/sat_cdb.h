#pragma once
// SCSI/ATA Translation: the ATA PASS-THROUGH(16) and (12) command blocks.

#include "device/device_context.h"

namespace skelder {

// Writes the ATA PASS-THROUGH block for the command in the record and returns its length
// (16 with cdb_flags bit 0, else 12). `direction` is the data phase actually requested;
// `ck_cond` asks the SAT layer for the returned registers.
UCHAR build_sat_cdb(const device_context& context, uint32_t direction, bool ck_cond,
                    UCHAR (&cdb)[16]);

} // namespace skelder
