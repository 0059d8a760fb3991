#pragma once
#include "device/device_context.h"
#include "main/run_settings.h"

namespace skelder {

// With "/v": the device, the CSMI address, the file and the download mode that were chosen.
void print_settings_echo(const device_context& context, const run_settings& settings);

} // namespace skelder
