// CSMI STP and SSP pass-through: the request goes to the target whose SAS address is
// the destination; the phy and port identifiers are only recorded.
#include <winsim/csmi_controller.h>

#include <winsim/trace.h>

#include <windows.h>
#include <ata.h>
#include <csmi.h>

#include <cstring>

namespace winsim {
namespace {

std::string address_text(const UCHAR (&address)[8]) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (UCHAR byte : address) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

sas_address to_address(const UCHAR (&bytes)[8]) {
    sas_address address{};
    std::memcpy(address.data(), bytes, 8);
    return address;
}

// The Device-to-Host register FIS a driver returns for a finished command.
void fill_status_fis(UCHAR (&fis)[20], const ata_reply& reply) {
    const auto& r = reply.registers;
    std::memset(fis, 0, sizeof fis);
    fis[FIS_D2H_TYPE] = FIS_TYPE_REG_D2H;
    fis[FIS_D2H_FLAGS] = FIS_D2H_INTERRUPT_BIT;
    fis[FIS_D2H_STATUS] = reply.status;
    fis[FIS_D2H_ERROR] = reply.error;
    fis[FIS_D2H_LBA_LOW] = r.lba_low;
    fis[FIS_D2H_LBA_MID] = r.lba_mid;
    fis[FIS_D2H_LBA_HIGH] = r.lba_high;
    fis[FIS_D2H_DEVICE] = r.device;
    fis[FIS_D2H_LBA_LOW_EXP] = r.lba_low_ext;
    fis[FIS_D2H_LBA_MID_EXP] = r.lba_mid_ext;
    fis[FIS_D2H_LBA_HIGH_EXP] = r.lba_high_ext;
    fis[FIS_D2H_COUNT] = r.count;
    fis[FIS_D2H_COUNT_EXP] = r.count_ext;
}

} // namespace

std::uint32_t csmi_controller::stp_passthru(std::uint8_t* buffer, std::uint32_t size,
                                            control_request& request, const request_fault* fault,
                                            std::optional<std::uint64_t> time_limit_ms,
                                            bool& timed_out) {
    constexpr std::uint32_t data_at = offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, bDataBuffer);
    if (size < sizeof(CSMI_SAS_STP_PASSTHRU_BUFFER)) {
        return CSMI_SAS_STATUS_INVALID_PARAMETER;
    }
    CSMI_SAS_STP_PASSTHRU parameters;
    std::memcpy(&parameters, buffer + offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Parameters),
                sizeof parameters);
    const std::string destination = address_text(parameters.bDestinationSASAddress);
    request.details["phy"] = parameters.bPhyIdentifier;
    request.details["port"] = parameters.bPortIdentifier;
    request.details["connection_rate"] = parameters.bConnectionRate;
    request.details["destination"] = destination;
    request.details["flags"] = parameters.uFlags;
    request.details["data_length"] = parameters.uDataLength;
    request.details["fis"] = hex_bytes(parameters.bCommandFIS);

    const bool read = (parameters.uFlags & CSMI_SAS_STP_READ) != 0;
    const bool write = (parameters.uFlags & CSMI_SAS_STP_WRITE) != 0;
    const std::uint8_t* fis = parameters.bCommandFIS;
    if (parameters.uDataLength > size - data_at || (read && write) ||
        (parameters.uDataLength > 0 && !read && !write) || fis[FIS_H2D_TYPE] != FIS_TYPE_REG_H2D ||
        (fis[FIS_H2D_FLAGS] & FIS_H2D_COMMAND_BIT) == 0) {
        return CSMI_SAS_STATUS_INVALID_PARAMETER;
    }

    CSMI_SAS_STP_PASSTHRU_STATUS status{};
    const phy* route = phy_with_attached(to_address(parameters.bDestinationSASAddress));
    if (fault != nullptr && fault->connection_status) {
        status.bConnectionStatus = *fault->connection_status;
    } else if (route == nullptr) {
        status.bConnectionStatus = CSMI_SAS_OPEN_REJECT_NO_DESTINATION;
    } else if (route->target == nullptr) {
        status.bConnectionStatus = CSMI_SAS_OPEN_REJECT_PROTOCOL_NOT_SUPPORTED;
    } else {
        ata_command command;
        command.registers = {
            fis[FIS_H2D_FEATURES],    fis[FIS_H2D_COUNT],        fis[FIS_H2D_LBA_LOW],
            fis[FIS_H2D_LBA_MID],     fis[FIS_H2D_LBA_HIGH],     fis[FIS_H2D_DEVICE],
            fis[FIS_H2D_COMMAND],     fis[FIS_H2D_FEATURES_EXP], fis[FIS_H2D_COUNT_EXP],
            fis[FIS_H2D_LBA_LOW_EXP], fis[FIS_H2D_LBA_MID_EXP],  fis[FIS_H2D_LBA_HIGH_EXP]};
        command.direction = parameters.uDataLength == 0 ? data_direction::none
                            : read                      ? data_direction::in
                                                        : data_direction::out;
        command.data = std::span(buffer + data_at, parameters.uDataLength);
        command.route = "stp";
        command.time_limit_ms = time_limit_ms;
        const auto reply = route->target->execute(command, {{"phy", parameters.bPhyIdentifier},
                                                            {"port", parameters.bPortIdentifier},
                                                            {"destination", destination}});
        if (returns_status_fis_) {
            fill_status_fis(status.bStatusFIS, reply);
            status.uDataBytes = stp_data_bytes_.value_or(reply.transferred);
        }
        request.details["status"] = reply.status;
        timed_out = reply.interrupted;
    }
    request.details["connection_status"] = status.bConnectionStatus;
    std::memcpy(buffer + offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Status), &status, sizeof status);
    return CSMI_SAS_STATUS_SUCCESS;
}

std::uint32_t csmi_controller::ssp_passthru(std::uint8_t* buffer, std::uint32_t size,
                                            control_request& request, const request_fault* fault) {
    constexpr std::uint32_t data_at = offsetof(CSMI_SAS_SSP_PASSTHRU_BUFFER, bDataBuffer);
    if (size < sizeof(CSMI_SAS_SSP_PASSTHRU_BUFFER)) {
        return CSMI_SAS_STATUS_INVALID_PARAMETER;
    }
    CSMI_SAS_SSP_PASSTHRU parameters;
    std::memcpy(&parameters, buffer + offsetof(CSMI_SAS_SSP_PASSTHRU_BUFFER, Parameters),
                sizeof parameters);
    request.details["phy"] = parameters.bPhyIdentifier;
    request.details["port"] = parameters.bPortIdentifier;
    request.details["destination"] = address_text(parameters.bDestinationSASAddress);
    request.details["flags"] = parameters.uFlags;
    request.details["data_length"] = parameters.uDataLength;
    request.details["cdb"] = hex_bytes(
        std::span(parameters.bCDB, parameters.bCDBLength > 16 ? 16 : parameters.bCDBLength));
    if (parameters.uDataLength > size - data_at || parameters.bCDBLength > 16) {
        return CSMI_SAS_STATUS_INVALID_PARAMETER;
    }

    CSMI_SAS_SSP_PASSTHRU_STATUS status{};
    const phy* route = phy_with_attached(to_address(parameters.bDestinationSASAddress));
    if (fault != nullptr && fault->connection_status) {
        status.bConnectionStatus = *fault->connection_status;
    } else if (route == nullptr) {
        status.bConnectionStatus = CSMI_SAS_OPEN_REJECT_NO_DESTINATION;
    } else if (!route->ssp) {
        status.bConnectionStatus = CSMI_SAS_OPEN_REJECT_PROTOCOL_NOT_SUPPORTED;
    } else if (parameters.bCDB[0] == 0x12 && (parameters.uFlags & CSMI_SAS_SSP_READ) != 0) {
        // Standard INQUIRY data of a disk.
        std::uint8_t inquiry[96] = {};
        inquiry[2] = 6;
        inquiry[3] = 2;
        inquiry[4] = sizeof inquiry - 5;
        auto put = [&](std::size_t at, std::size_t width, const std::string& text) {
            std::memset(inquiry + at, ' ', width);
            // INQUIRY text fields are blank-padded, never terminated.
            // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
            std::memcpy(inquiry + at, text.data(), std::min(text.size(), width));
        };
        put(8, 8, route->ssp->vendor);
        put(16, 16, route->ssp->product);
        put(32, 4, route->ssp->revision);
        const std::uint32_t allocation = parameters.bCDB[4];
        const std::uint32_t length =
            std::min<std::uint32_t>({parameters.uDataLength, allocation, sizeof inquiry});
        std::memcpy(buffer + data_at, inquiry, length);
        status.bDataPresent = 1; // response data: none; the data phase holds the reply
        status.uDataBytes = length;
    } else {
        status.bStatus = 0x02; // CHECK CONDITION: only INQUIRY is modelled
    }
    request.details["connection_status"] = status.bConnectionStatus;
    std::memcpy(buffer + offsetof(CSMI_SAS_SSP_PASSTHRU_BUFFER, Status), &status, sizeof status);
    return CSMI_SAS_STATUS_SUCCESS;
}

} // namespace winsim
