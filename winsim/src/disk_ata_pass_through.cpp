// IOCTL_ATA_PASS_THROUGH(_DIRECT): the request in the process's own bitness (48
// bytes in a 64-bit process, 40 in a 32-bit one), registers from the task files,
// the drive's answer back in CurrentTaskFile.
#include <winsim/disk.h>

#include <windows.h>
#include <ntddscsi.h>

#include <cstring>

namespace winsim {

std::uint32_t disk::ata_pass_through(control_request& request, bool direct) {
    static_assert(sizeof(ATA_PASS_THROUGH_EX) == sizeof(ATA_PASS_THROUGH_DIRECT));
    constexpr std::uint32_t header_size = sizeof(ATA_PASS_THROUGH_DIRECT);
    if (request.in == nullptr || request.out == nullptr || request.in_length < header_size ||
        request.out_length < header_size) {
        return ERROR_INVALID_PARAMETER;
    }
    ATA_PASS_THROUGH_DIRECT header{};
    std::memcpy(&header, request.in, header_size);
    const std::uint32_t flags = header.AtaFlags;
    request.details["ata_flags"] = flags;
    request.details["data_length"] = header.DataTransferLength;
    request.details["task_file"] = hex_bytes(header.CurrentTaskFile);
    request.details["previous_task_file"] = hex_bytes(header.PreviousTaskFile);
    request.details["path_id"] = header.PathId;
    request.details["target_id"] = header.TargetId;
    request.details["lun"] = header.Lun;
    request.details["timeout"] = header.TimeOutValue;

    const bool in = (flags & ATA_FLAGS_DATA_IN) != 0;
    const bool out = (flags & ATA_FLAGS_DATA_OUT) != 0;
    const std::uint32_t length = header.DataTransferLength;
    if (header.Length != header_size || (in && out) || (length > 0 && !in && !out)) {
        return ERROR_INVALID_PARAMETER;
    }
    data_phase phase;
    phase.direct = direct;
    phase.direction = length == 0 ? data_direction::none
                      : in        ? data_direction::in
                                  : data_direction::out;
    ATA_PASS_THROUGH_EX buffered{};
    std::memcpy(&buffered, request.in, header_size);
    if (const auto error = stage_data(request, header_size, length, header.DataBuffer,
                                      buffered.DataBufferOffset, phase);
        error != ERROR_SUCCESS) {
        return error;
    }
    const auto address =
        direct ? reinterpret_cast<std::uintptr_t>(header.DataBuffer) : buffered.DataBufferOffset;
    if (const char* rule = adapter_refusal(address, length)) {
        request.details["refused_by"] = rule;
        return ERROR_INVALID_PARAMETER;
    }

    const bool extended = (flags & ATA_FLAGS_48BIT_COMMAND) != 0;
    const auto* current = header.CurrentTaskFile;
    const auto* previous = header.PreviousTaskFile;
    ata_command command;
    command.registers = {current[0], current[1], current[2], current[3],
                         current[4], current[5], current[6]};
    if (extended) {
        command.registers.features_ext = previous[0];
        command.registers.count_ext = previous[1];
        command.registers.lba_low_ext = previous[2];
        command.registers.lba_mid_ext = previous[3];
        command.registers.lba_high_ext = previous[4];
    }
    command.direction = phase.direction;
    command.data = phase.data;
    command.route = "ata";
    command.time_limit_ms = time_limit(header.TimeOutValue);
    const auto reply = drive_.execute(command);
    if (reply.interrupted) {
        // The port driver fails a timed-out request with STATUS_IO_TIMEOUT.
        request.details["refused_by"] = "timeout";
        return ERROR_SEM_TIMEOUT;
    }

    const auto& r = reply.registers;
    const std::uint8_t returned_current[8] = {reply.error, r.count,  r.lba_low,    r.lba_mid,
                                              r.lba_high,  r.device, reply.status, 0};
    std::memcpy(header.CurrentTaskFile, returned_current, sizeof returned_current);
    if (extended) {
        const std::uint8_t returned_previous[8] = {
            0, r.count_ext, r.lba_low_ext, r.lba_mid_ext, r.lba_high_ext, 0, 0, 0};
        std::memcpy(header.PreviousTaskFile, returned_previous, sizeof returned_previous);
    }
    header.DataTransferLength =
        length > 0 ? reply_transfer_length_.value_or(reply.transferred) : reply.transferred;
    auto* out_bytes = static_cast<std::uint8_t*>(request.out);
    std::memcpy(out_bytes, &header, header_size);
    request.returned = header_size;
    return_staged_data(request, phase, reply.transferred);
    request.details["status"] = reply.status;
    request.details["transferred"] = reply.transferred;
    return ERROR_SUCCESS;
}

} // namespace winsim
