#include "device/open_device.h"

#include "device/result_codes.h"

#include <stdio.h>

namespace skelder {

result_code open_device(device_context& context, const WCHAR* path) {
    SetLastError(0);
    context.handle =
        CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    context.last_error = static_cast<uint32_t>(GetLastError());
    if (context.handle == INVALID_HANDLE_VALUE) {
        if (context.verbosity == 0) {
            return result_open_failed;
        }
        if (context.last_error == ERROR_ACCESS_DENIED) {
            printf("CreateFileW Failed due to ACCESS DENIED error.\n");
            printf("Admin mode is required for this tool to perform.\n");
        } else {
            printf("CreateFileW INVALID_HANDLE_VALUE Error: %u", context.last_error);
        }
        return result_open_failed;
    }

    context.scsi_address.Length = sizeof(SCSI_ADDRESS);
    SetLastError(0);
    DWORD returned = 0;
    if (DeviceIoControl(context.handle, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &context.scsi_address,
                        sizeof(SCSI_ADDRESS), &returned, nullptr)) {
        return result_completed;
    }
    context.last_error = static_cast<uint32_t>(GetLastError());
    if (context.verbosity != 0) {
        printf("DeviceIoControl for IOCTL_SCSI_GET_ADDRESS Error: %u", context.last_error);
    }
    // The handle stays open; the run closes it.
    return result_open_failed;
}

} // namespace skelder
