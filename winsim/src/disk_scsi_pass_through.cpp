// IOCTL_SCSI_PASS_THROUGH(_DIRECT): the port driver's checks of the request, then
// the SCSI command at the drive's SAT layer. The request header is in the process's
// own bitness (56 bytes in a 64-bit process, 44 in a 32-bit one).
#include <winsim/disk.h>

#include <windows.h>
#include <ntddscsi.h>

#include <cstring>

namespace winsim {

std::uint32_t disk::scsi_pass_through(control_request& request, bool direct) {
    static_assert(sizeof(SCSI_PASS_THROUGH) == sizeof(SCSI_PASS_THROUGH_DIRECT));
    constexpr std::uint32_t header_size = sizeof(SCSI_PASS_THROUGH_DIRECT);
    if (request.in == nullptr || request.out == nullptr || request.in_length < header_size ||
        request.out_length < header_size) {
        return ERROR_INVALID_PARAMETER;
    }
    SCSI_PASS_THROUGH_DIRECT header{};
    std::memcpy(&header, request.in, header_size);
    const std::span<const std::uint8_t> cdb(header.Cdb,
                                            std::min<std::size_t>(header.CdbLength, 16));
    request.details["cdb"] = hex_bytes(cdb);
    request.details["data_in"] = header.DataIn;
    request.details["data_length"] = header.DataTransferLength;
    request.details["path_id"] = header.PathId;
    request.details["target_id"] = header.TargetId;
    request.details["lun"] = header.Lun;
    request.details["timeout"] = header.TimeOutValue;

    if (header.Length != header_size || header.CdbLength == 0 || header.CdbLength > 16 ||
        header.DataIn > SCSI_IOCTL_DATA_UNSPECIFIED) {
        return ERROR_INVALID_PARAMETER;
    }
    if (header.SenseInfoLength > 0 &&
        (header.SenseInfoOffset < header_size ||
         std::uint64_t{header.SenseInfoOffset} + header.SenseInfoLength > request.out_length)) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::uint32_t length = header.DataTransferLength;
    if (length > 0 && header.DataIn == SCSI_IOCTL_DATA_UNSPECIFIED) {
        return ERROR_INVALID_PARAMETER;
    }
    data_phase phase;
    phase.direct = direct;
    phase.direction = length == 0                           ? data_direction::none
                      : header.DataIn == SCSI_IOCTL_DATA_IN ? data_direction::in
                                                            : data_direction::out;
    SCSI_PASS_THROUGH buffered{};
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

    const auto result = run_scsi(cdb, phase.direction, phase.data, time_limit(header.TimeOutValue));
    if (result.refused_by != nullptr) {
        request.details["refused_by"] = result.refused_by;
    }
    if (result.interrupted) {
        // The port driver fails a timed-out request with STATUS_IO_TIMEOUT.
        return ERROR_SEM_TIMEOUT;
    }

    header.ScsiStatus = result.status;
    header.DataTransferLength =
        length > 0 ? reply_transfer_length_.value_or(result.transferred) : result.transferred;
    const auto sense_length = static_cast<std::uint8_t>(
        std::min<std::size_t>(result.sense.size(), header.SenseInfoLength));
    header.SenseInfoLength = sense_length;
    auto* out = static_cast<std::uint8_t*>(request.out);
    std::memcpy(out, &header, header_size);
    if (sense_length > 0) {
        std::memcpy(out + header.SenseInfoOffset, result.sense.data(), sense_length);
    }
    request.returned = sense_length > 0 ? header.SenseInfoOffset + sense_length : header_size;
    return_staged_data(request, phase, result.transferred);
    request.details["scsi_status"] = result.status;
    request.details["transferred"] = result.transferred;
    if (!result.sense.empty()) {
        request.details["sense"] = hex_bytes(result.sense);
    }
    return ERROR_SUCCESS;
}

} // namespace winsim
