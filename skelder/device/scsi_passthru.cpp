#include "device/scsi_passthru.h"

#include "device/result_codes.h"
#include "device/sat_cdb.h"
#include "device/sat_sense.h"
#include "device/scsi_request.h"

#include <stdio.h>

namespace skelder {

namespace {

constexpr UCHAR scsi_status_good = 0x00;
constexpr UCHAR scsi_status_check_condition = 0x02;
// ERR, DF and BSY: the drive did not complete the command.
constexpr UCHAR ata_status_failed_bits = 0x01 | 0x20 | 0x80;

// The SAT layer refused CK_COND itself: the command never reached the drive. Never returned
// beyond this file, so it takes a value no caller sees.
constexpr auto ck_cond_refused = static_cast<result_code>(-2);

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

// A CHECK CONDITION: the ATA registers a SAT layer returns for CK_COND (NO SENSE or RECOVERED
// ERROR with the drive's status) are judged by the drive's status; a SAT layer without ATA
// PASS-THROUGH means the route is not supported; anything else failed the command.
result_code judge_check_condition(const scsi_request& request, bool ck_cond) {
    const sat_sense sense = read_sat_sense(request.sense, sizeof request.sense);
    if (sense.key == sense_key_illegal_request && sense.ascq == 0) {
        if (sense.asc == asc_invalid_field_in_cdb && ck_cond) {
            return ck_cond_refused;
        }
        if (sense.asc == asc_invalid_command_operation_code) {
            return result_not_supported;
        }
    }
    if (sense.key == sense_key_recovered_error || sense.key == sense_key_no_sense) {
        if (sense.has_ata_status) {
            return (sense.ata_status & ata_status_failed_bits) == 0 ? result_completed
                                                                    : result_device_error;
        }
        if (sense.key == sense_key_recovered_error) {
            return result_completed;
        }
    }
    return result_device_error;
}

result_code send_and_judge(device_context& context, bool ck_cond) {
    scsi_request request;
    prepare_scsi_request(request, context);
    const uint32_t direction = set_data_phase(request.header, context);
    request.header.CdbLength = build_sat_cdb(context, direction, ck_cond, request.header.Cdb);

    if (!send_scsi_request(context, request)) {
        if (means_not_supported(context.last_error)) {
            if (context.verbosity != 0) {
                printf("IO Error %s [%u]\n",
                       context.last_error == ERROR_INVALID_FUNCTION ? "ERROR_INVALID_FUNCTION"
                                                                    : "ERROR_NOT_SUPPORTED",
                       context.last_error);
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
    const result_code result = status == scsi_status_check_condition
                                   ? judge_check_condition(request, ck_cond)
                                   : result_device_error;
    if (context.verbosity != 0 && result != result_completed && result != ck_cond_refused) {
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
    return result;
}

} // namespace

result_code issue_scsi_passthru(device_context& context) {
    const bool ck_cond = (context.cdb_flags & cdb_flag_check_condition) != 0;
    const result_code result = send_and_judge(context, ck_cond);
    // A SAT layer that does not take CK_COND gets the command once more without it.
    return result == ck_cond_refused ? send_and_judge(context, false) : result;
}

} // namespace skelder
