// A shareable capture: every serial number replaced with a stable placeholder (the same serial
// gets the same placeholder wherever it appears), the WWN's unit part with the placeholder's
// number. SAS addresses stay: command lines name drives by them.
#pragma once

#include "machine_record.h"

namespace capture {

void anonymise(machine_record& machine);

} // namespace capture
