#pragma once
#include "device/device_context.h"
#include "device/result_codes.h"

namespace skelder {

// Carries the record's ATA command over the route that route_flags names.
// Returns 1 completed, 0 request failed, 9 pass-through not supported, 11 device error,
// 13 error register 0x84 (ATA route), -1 invalid request (CSMI route).
result_code issue_command(device_context& context);

} // namespace skelder
