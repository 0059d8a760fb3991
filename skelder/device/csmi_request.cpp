#include "device/csmi_request.h"

#include <string.h>

namespace skelder {

void fill_ioctl_header(IOCTL_HEADER& header, const char* signature, ULONG control_code,
                       ULONG timeout_seconds, uint32_t buffer_size) {
    header.HeaderLength = sizeof(IOCTL_HEADER);
    memcpy(header.Signature, signature, sizeof header.Signature); // seven letters and a zero
    header.Timeout = timeout_seconds;
    header.ControlCode = control_code;
    header.ReturnCode = 0;
    header.Length = buffer_size - static_cast<uint32_t>(sizeof(IOCTL_HEADER));
}

bool send_csmi_request(HANDLE controller, void* buffer, uint32_t buffer_size) {
    DWORD returned = 0;
    return DeviceIoControl(controller, IOCTL_SCSI_MINIPORT, buffer, buffer_size, buffer,
                           buffer_size, &returned, nullptr) != FALSE;
}

bool get_phy_info(HANDLE controller, CSMI_SAS_PHY_INFO_BUFFER& reply) {
    memset(&reply, 0, sizeof reply);
    fill_ioctl_header(reply.IoctlHeader, CSMI_SAS_SIGNATURE, CC_CSMI_SAS_GET_PHY_INFO,
                      csmi_info_timeout_seconds, sizeof reply);
    return send_csmi_request(controller, &reply, sizeof reply);
}

} // namespace skelder
