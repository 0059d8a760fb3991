#pragma once
#include "device/adapter_limits.h"
#include "device/device_context.h"
#include "device/result_codes.h"
#include "download/download_request.h"

#include <cstdint>
#include <cstdlib>

namespace skelder {

// The image as read once for the whole run: every attempt and the activate step take their
// bytes and size from here, so a file removed or replaced during the run changes nothing.
struct firmware_image {
    unsigned char* bytes = nullptr;
    int64_t size = 0;

    firmware_image() = default;
    firmware_image(const firmware_image&) = delete;
    firmware_image& operator=(const firmware_image&) = delete;
    ~firmware_image() { free(bytes); }
};

// Reads the image named in the request whole, refusing before any command one that the
// request's subcommand cannot describe on the wire. Returns 1, 4 when the image cannot be
// opened, read whole or described, or 10 when no memory can hold it; messages under /v.
result_code read_firmware_image(const download_request& request, int32_t verbosity,
                                firmware_image& image);

// Whether each command the request makes of the image fits what the adapter carries. Returns 1,
// or 4 after a message (shown whatever the verbosity) that names the limit and a segment size
// that fits.
result_code check_adapter_fit(const download_request& request, const firmware_image& image,
                              const adapter_limits& limits);

// Sends the image with DOWNLOAD MICROCODE as the request asks. A command whose data, in place,
// would span more pages than the adapter takes goes from a page-aligned copy. Returns 1 on
// success, 4 when the image cannot be described on the wire for the request's subcommand, 10
// when no memory holds the copy, else the result of the failing issue_command.
result_code download_firmware(device_context& context, download_request request,
                              const firmware_image& image, const adapter_limits& limits);

} // namespace skelder
