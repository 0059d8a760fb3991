// The disks: every \\.\PhysicalDriveN that opens, N from 0 upwards until a run of names that
// are not found, each with its drive read through whichever pass-through routes answer.
#pragma once

#include "machine_record.h"

namespace capture {

// The probe ends after this many names in a row answer ERROR_FILE_NOT_FOUND (Windows leaves
// gaps in the numbers of removed disks), and at the latest after \\.\PhysicalDrive255.
inline constexpr unsigned misses_ending_the_probe = 8;
inline constexpr unsigned last_probed_number = 255;

void probe_disks(machine_record& machine);

} // namespace capture
