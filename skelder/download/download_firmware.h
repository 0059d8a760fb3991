#pragma once
#include "device/device_context.h"
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
// request's subcommand (and, with `activate`, the activate command) cannot describe on the
// wire. Returns 1, 4 when the image cannot be opened, read whole or described, or 10 when no
// memory can hold it; messages under /v.
int32_t read_firmware_image(const download_request& request, bool activate, int32_t verbosity,
                            firmware_image& image);

// Sends the image with DOWNLOAD MICROCODE as the request asks. Returns 1 on success, 4 when the
// image cannot be described on the wire for the request's subcommand, else the result of the
// failing issue_command.
int32_t download_firmware(device_context& context, download_request request,
                          const firmware_image& image);

} // namespace skelder
