#include "device/ata_passthru.h"

#include "device/result_codes.h"

#include <stdio.h>
#include <string.h>

namespace skelder {

static_assert(sizeof(ATA_PASS_THROUGH_EX) == 48);

namespace {

// Task file byte positions, before and after the call.
enum task_file_byte {
    tf_features_error,
    tf_count,
    tf_lba_low,
    tf_lba_mid,
    tf_lba_high,
    tf_device,
    tf_command_status
};

constexpr UCHAR status_ready_seek_complete = 0x50;
// ERR, DF and BSY: the drive did not complete the command.
constexpr UCHAR status_failed_bits = 0x01 | 0x20 | 0x80;
constexpr UCHAR error_aborted_crc = 0x84;

void fill_task_files(ATA_PASS_THROUGH_EX& request, const device_context& context) {
    const ata_registers& r = context.registers;
    if (context.addressing == addressing_48bit) {
        request.AtaFlags |= ATA_FLAGS_48BIT_COMMAND;
        request.PreviousTaskFile[tf_features_error] = r.features_ext;
        request.PreviousTaskFile[tf_count] = r.count_ext;
        request.PreviousTaskFile[tf_lba_low] = r.lba_low_ext;
        request.PreviousTaskFile[tf_lba_mid] = r.lba_mid_ext;
        request.PreviousTaskFile[tf_lba_high] = r.lba_high_ext;
    }
    request.CurrentTaskFile[tf_features_error] = r.features;
    request.CurrentTaskFile[tf_count] = r.count;
    request.CurrentTaskFile[tf_lba_low] = r.lba_low;
    request.CurrentTaskFile[tf_lba_mid] = r.lba_mid;
    request.CurrentTaskFile[tf_lba_high] = r.lba_high;
    request.CurrentTaskFile[tf_device] = r.device;
    request.CurrentTaskFile[tf_command_status] = r.command;
}

// Returns false when the direction is invalid (the request then has no data phase).
bool set_data_phase(ATA_PASS_THROUGH_EX& request, const device_context& context) {
    switch (context.direction) {
    case data_none:
        return true;
    case data_in:
        request.AtaFlags |= ATA_FLAGS_DATA_IN;
        break;
    case data_out:
        request.AtaFlags |= ATA_FLAGS_DATA_OUT;
        break;
    default:
        printf("No valid data direction set %u\n", context.direction);
        return false;
    }
    request.DataTransferLength = context.transfer_length;
    // The direct control code takes the caller's buffer address in place of an offset.
    request.DataBufferOffset = reinterpret_cast<ULONG_PTR>(context.data_buffer);
    return true;
}

result_code judge_reply(const ATA_PASS_THROUGH_EX& reply, const device_context& context,
                        DWORD returned) {
    const UCHAR status = reply.CurrentTaskFile[tf_command_status];
    const UCHAR error = reply.CurrentTaskFile[tf_features_error];
    if (status == status_ready_seek_complete) {
        return result_completed;
    }
    if (error == error_aborted_crc) {
        return result_error_84;
    }
    // A driver may report the full length even for a command the drive refused; the buffer
    // then holds nothing the drive sent, so only a status without failure bits counts.
    if (context.direction == data_in && reply.DataTransferLength == context.transfer_length &&
        (status & status_failed_bits) == 0) {
        return result_completed;
    }
    if (context.verbosity != 0) {
        printf(
            " Status = 0x%x Error = 0x%x SC = 0x%x LBA Low = 0x%x LBA Mid = 0x%x LBA Hi = 0x%x\n",
            status, error, reply.CurrentTaskFile[tf_count], reply.CurrentTaskFile[tf_lba_low],
            reply.CurrentTaskFile[tf_lba_mid], reply.CurrentTaskFile[tf_lba_high]);
        printf(" Data Transfered = %d [io=%d, req=%d]\n",
               static_cast<int>(reply.DataTransferLength), static_cast<int>(returned),
               static_cast<int>(context.transfer_length));
    }
    return result_device_error;
}

} // namespace

result_code issue_ata_passthru(device_context& context) {
    ATA_PASS_THROUGH_EX request;
    memset(&request, 0, sizeof(request));
    request.Length = sizeof(ATA_PASS_THROUGH_EX);
    request.AtaFlags = ATA_FLAGS_DRDY_REQUIRED;
    request.PathId = context.scsi_address.PathId;
    request.TargetId = context.scsi_address.TargetId;
    request.Lun = context.scsi_address.Lun;
    request.TimeOutValue = pass_through_timeout(context);
    const bool valid_direction = set_data_phase(request, context);
    fill_task_files(request, context);

    SetLastError(0);
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(context.handle, IOCTL_ATA_PASS_THROUGH_DIRECT, &request,
                                    sizeof(request), &request, sizeof(request), &returned, nullptr);
    context.last_error = static_cast<uint32_t>(GetLastError());
    if (!ok) {
        if (context.verbosity != 0) {
            printf(" WinIoStatus = 0x%x", context.last_error);
        }
        return means_not_supported(context.last_error) ? result_not_supported
                                                       : result_request_failed;
    }

    const result_code result = judge_reply(request, context, returned);
    if (!valid_direction && result == result_completed) {
        return result_request_failed;
    }
    return result;
}

} // namespace skelder
