#include "device/issue_command.h"

#include "device/ata_passthru.h"
#include "device/csmi_transport.h"
#include "device/result_codes.h"
#include "device/scsi_passthru.h"

namespace skelder {

result_code issue_command(device_context& context) {
    if ((context.route_flags & route_scsi) != 0) {
        return issue_scsi_passthru(context);
    }
    if ((context.route_flags & route_ata) != 0) {
        return issue_ata_passthru(context);
    }
    if ((context.route_flags & route_csmi) != 0) {
        if (context.handle == INVALID_HANDLE_VALUE) {
            return result_request_failed;
        }
        return issue_stp_passthru(context);
    }
    return result_completed;
}

} // namespace skelder
