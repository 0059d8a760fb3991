#pragma once
#include "device/device_context.h"
#include "main/run_settings.h"

namespace skelder {

// Opens, identifies, gates, downloads (with retries), activates, re-identifies and closes
// the target. Returns the process exit code.
int run_update(device_context& context, run_settings& settings);

} // namespace skelder
