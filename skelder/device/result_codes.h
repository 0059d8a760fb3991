#pragma once
// Result codes shared by the device layer, the download engine and the update run.
// The run maps the last one to the process exit code.

#include <windows.h>

#include <cstdint>

namespace skelder {

// The values are fixed: the run maps them to exit codes.
enum result_code : int32_t {
    result_invalid_request = -1, // CSMI route: bad direction or no memory
    result_request_failed = 0,   // request did not complete
    result_completed = 1,        // command completed / step succeeded
    result_open_failed = 2,      // device could not be opened or addressed
    result_bad_image = 4,        // image file unusable
    result_not_supported = 9,    // driver refused with ERROR_INVALID_FUNCTION
    result_no_memory = 10,       // image buffer could not be allocated
    result_device_error = 11,    // the device reported an error
    result_error_84 = 13,        // ATA route: error register 0x84
};

// A driver without the pass-through answers ERROR_INVALID_FUNCTION (STATUS_INVALID_DEVICE_REQUEST)
// or, SCSI-port style, ERROR_NOT_SUPPORTED (STATUS_NOT_SUPPORTED).
inline bool means_not_supported(uint32_t windows_error) {
    return windows_error == ERROR_INVALID_FUNCTION || windows_error == ERROR_NOT_SUPPORTED;
}

} // namespace skelder
