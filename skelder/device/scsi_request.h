#pragma once
// The request block of IOCTL_SCSI_PASS_THROUGH_DIRECT: header, sense area, trailing bytes.

#include "device/device_context.h"

#include <cstddef>

namespace skelder {

inline constexpr uint8_t sense_length = 252;

struct scsi_request {
    SCSI_PASS_THROUGH_DIRECT header;
    UCHAR sense[sense_length];
    UCHAR trailing[4];
};
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 56);
static_assert(sizeof(scsi_request) == 312);
static_assert(offsetof(scsi_request, sense) == 56);

// Zeroes the block and fills the fields every request shares: address, sense area, timeout.
void prepare_scsi_request(scsi_request& request, const device_context& context);

// Sends the block in and out; stores the Windows error in last_error.
// Returns whether DeviceIoControl succeeded.
bool send_scsi_request(device_context& context, scsi_request& request);

} // namespace skelder
