// The RAID/SAS controllers: every \\.\SCSIn: (n from 0 to 15) whose driver answers CSMI
// driver information, with its configuration, phy table, RAID sets, and each SATA or STP
// drive's IDENTIFY DEVICE data and capabilities page through STP pass-through.
#pragma once

#include "machine_record.h"

namespace capture {

inline constexpr unsigned controller_numbers = 16;

void probe_controllers(machine_record& machine);

} // namespace capture
