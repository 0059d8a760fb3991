#pragma once
// "--scan": every CSMI controller of the machine and every SATA drive behind one, in the
// form a "/C:" argument accepts.

#include <cstdint>

namespace skelder {

// Prints the report to standard output; returns 0 whatever it found.
int32_t scan_csmi_devices(int32_t verbosity);

} // namespace skelder
