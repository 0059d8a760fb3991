#pragma once
#include "device/device_context.h"
#include "device/result_codes.h"

namespace skelder {

// Sends the IDENTIFY DEVICE with the Halvern signature registers that precedes a download.
// Returns the result of issue_command; the reply data are not used.
result_code send_signature_identify(device_context& context);

} // namespace skelder
