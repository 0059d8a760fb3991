#pragma once
#include "device/device_context.h"
#include "download/download_request.h"

namespace skelder {

// Sends the image named in the request with DOWNLOAD MICROCODE as the request asks.
// Returns 1 on success, 4 when the image cannot be opened, read or described on the wire,
// 10 when no memory can hold it, else the result of the failing issue_command.
int32_t download_firmware(device_context& context, download_request request);

// Whether the activate command could describe the image named in the request (its block
// count must fit 16 bits). Returns 1 when it can or when the image cannot be sized (the
// download reports that itself), else 4, with the size message under /v.
int32_t check_activation_size(const download_request& request, int32_t verbosity);

} // namespace skelder
