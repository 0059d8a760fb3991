#include "device/scsi_passthru.h"

#include "device/result_codes.h"
#include "device/sat_cdb.h"
#include "device/scsi_request.h"

#include <stdio.h>

namespace skelder {

namespace {

constexpr UCHAR scsi_status_good = 0x00;
constexpr UCHAR scsi_status_check_condition = 0x02;

// Fills the data phase; returns the direction that goes on the wire.
uint32_t set_data_phase(SCSI_PASS_THROUGH_DIRECT& header, const device_context& context) {
    switch (context.direction) {
    case data_in:
        header.DataIn = SCSI_IOCTL_DATA_IN;
        break;
    case data_out:
        header.DataIn = SCSI_IOCTL_DATA_OUT;
        break;
    case data_none:
        header.DataIn = SCSI_IOCTL_DATA_UNSPECIFIED;
        return data_none;
    default:
        printf("\nData Direction Unspecified.\n");
        header.DataIn = SCSI_IOCTL_DATA_OUT;
        return data_none;
    }
    header.DataTransferLength = context.transfer_length;
    header.DataBuffer = context.data_buffer;
    return context.direction;
}

} // namespace

int32_t issue_scsi_passthru(device_context& context) {
    scsi_request request;
    prepare_scsi_request(request, context);
    const uint32_t direction = set_data_phase(request.header, context);
    request.header.CdbLength = build_sat_cdb(context, direction, request.header.Cdb);

    if (!send_scsi_request(context, request)) {
        if (context.last_error == ERROR_INVALID_FUNCTION) {
            if (context.verbosity != 0) {
                printf("IO Error ERROR_INVALID_FUNCTION [%u]\n", context.last_error);
            }
            return result_not_supported;
        }
        if (context.verbosity != 0) {
            printf("IO Error [%u]\n", context.last_error);
        }
        return result_request_failed;
    }

    const UCHAR status = request.header.ScsiStatus;
    if (status == scsi_status_good) {
        return result_completed;
    }
    if (context.verbosity != 0) {
        if (status == scsi_status_check_condition) {
            printf("CHECK CONDITION ERROR for CMD: %x Sense Buffer: %x %x %x\n",
                   context.registers.command, request.sense[0], request.sense[1], request.sense[2]);
        } else {
            // BUSY, RESERVATION CONFLICT, TASK SET FULL, TASK ABORTED...: the command did not
            // run to completion, so it must not count as done.
            printf("SCSI STATUS ERROR for CMD: %x SCSI Status: %x\n", context.registers.command,
                   status);
        }
    }
    return result_device_error;
}

} // namespace skelder
