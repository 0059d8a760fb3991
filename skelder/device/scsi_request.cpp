#include "device/scsi_request.h"

#include <string.h>

namespace skelder {

void prepare_scsi_request(scsi_request& request, const device_context& context) {
    memset(&request, 0, sizeof(request));
    SCSI_PASS_THROUGH_DIRECT& header = request.header;
    header.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
    header.PathId = context.scsi_address.PathId;
    header.TargetId = context.scsi_address.TargetId;
    header.Lun = context.scsi_address.Lun;
    header.SenseInfoLength = sense_length;
    header.TimeOutValue = pass_through_timeout(context);
    header.SenseInfoOffset = offsetof(scsi_request, sense);
}

bool send_scsi_request(device_context& context, scsi_request& request) {
    SetLastError(0);
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(context.handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request,
                                    sizeof(request), &request, sizeof(request), &returned, nullptr);
    context.last_error = static_cast<uint32_t>(GetLastError());
    return ok != FALSE;
}

} // namespace skelder
