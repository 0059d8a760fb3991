// The setup API's view: the storage controllers and disk drives it lists (class and
// description, which Marlisk's controller-mode check reads), and each disk interface path,
// tied to its \\.\PhysicalDriveN by the disk's device number.
#pragma once

#include "machine_record.h"

namespace capture {

void probe_setup_devices(machine_record& machine);
void tie_disk_interfaces(machine_record& machine);

} // namespace capture
