#pragma once
// Building and sending the CSMI requests: each travels as IOCTL_SCSI_MINIPORT on the
// controller handle, input and output being the same buffer.

#include <windows.h>
#include <csmi.h>

#include <cstdint>

namespace skelder {

inline constexpr ULONG csmi_info_timeout_seconds = 60;

// Fills the request header of a zero-filled buffer of buffer_size bytes.
void fill_ioctl_header(IOCTL_HEADER& header, const char* signature, ULONG control_code,
                       ULONG timeout_seconds, uint32_t buffer_size);

// Sends a request in place; true when the call succeeded (the ReturnCode is the caller's).
bool send_csmi_request(HANDLE controller, void* buffer, uint32_t buffer_size);

// The phy table request, zero-filled and sent. True when the call succeeded.
bool get_phy_info(HANDLE controller, CSMI_SAS_PHY_INFO_BUFFER& reply);

} // namespace skelder
