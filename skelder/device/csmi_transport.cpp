#include "device/csmi_transport.h"

#include "device/csmi_buffer.h"
#include "device/csmi_dump.h"
#include "device/csmi_request.h"
#include "device/result_codes.h"

#include <stdio.h>
#include <string.h>

#include <memory>
#include <new>

namespace skelder {

namespace {

constexpr uint32_t stp_request_size = sizeof(CSMI_SAS_STP_PASSTHRU_BUFFER);
constexpr uint32_t stp_data_offset = offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, bDataBuffer);
constexpr uint32_t ssp_inquiry_length = 96;
constexpr uint32_t ssp_request_size =
    offsetof(CSMI_SAS_SSP_PASSTHRU_BUFFER, bDataBuffer) + ssp_inquiry_length + 4;
static_assert(ssp_request_size == 468);

constexpr UCHAR fis_register_h2d = 0x27;
constexpr UCHAR fis_command_bit = 0x80;
constexpr UCHAR ata_download_microcode = 0x92;
constexpr UCHAR ata_status_err = 0x01;
constexpr UCHAR ata_status_df = 0x20;
constexpr UCHAR ata_status_bsy = 0x80;

bool attached_and_identified(const CSMI_SAS_PHY_ENTITY& entry) {
    return entry.Identify.bDeviceType != 0 && entry.Attached.bDeviceType != 0;
}

bool serves_drives(UCHAR protocol) {
    return protocol == CSMI_SAS_PROTOCOL_SATA || protocol == CSMI_SAS_PROTOCOL_STP ||
           protocol == CSMI_SAS_PROTOCOL_SSP;
}

// The register Host-to-Device FIS of the record's command. The upper bytes are copied
// whatever the addressing; 28-bit commands keep them zero.
void build_command_fis(UCHAR (&fis)[20], const ata_registers& r) {
    fis[0] = fis_register_h2d;
    fis[1] = fis_command_bit;
    fis[2] = r.command;
    fis[3] = r.features;
    fis[4] = r.lba_low;
    fis[5] = r.lba_mid;
    fis[6] = r.lba_high;
    fis[7] = r.device;
    fis[8] = r.lba_low_ext;
    fis[9] = r.lba_mid_ext;
    fis[10] = r.lba_high_ext;
    fis[11] = r.features_ext;
    fis[12] = r.count;
    fis[13] = r.count_ext;
}

bool all_zero(const UCHAR (&fis)[20]) {
    for (UCHAR byte : fis) {
        if (byte != 0) {
            return false;
        }
    }
    return true;
}

// What the drive answered, for a request the driver accepted: an open reject means the
// command never reached the drive; ERR in the status FIS is the drive's own error, DF a
// device fault that kept it from doing the command, and BSY a command the drive did not
// complete. The status byte is judged whatever FIS type the driver reports, and failure bits
// never count as success. A status part the driver left zero shows nothing of what the drive
// did: some drivers report success after a controller error, so a download judged by it has
// failed (an IDENTIFY is judged by the data it brought instead).
result_code judge_stp_status(const CSMI_SAS_STP_PASSTHRU_STATUS& status,
                             const device_context& context) {
    if (status.bConnectionStatus != CSMI_SAS_OPEN_ACCEPT) {
        if (context.verbosity != 0) {
            printf("issue_stp_passthru: CMD=0x%x not delivered. bConnectionStatus=%d\n",
                   context.registers.command, status.bConnectionStatus);
        }
        return result_request_failed;
    }
    if (context.registers.command == ata_download_microcode && all_zero(status.bStatusFIS)) {
        if (context.verbosity != 0) {
            printf("issue_stp_passthru: CMD=0x%x no status returned.\n", context.registers.command);
        }
        return result_device_error;
    }
    const UCHAR* fis = status.bStatusFIS;
    if ((fis[2] & (ata_status_err | ata_status_df | ata_status_bsy)) != 0) {
        if (context.verbosity != 0) {
            printf("issue_stp_passthru: CMD=0x%x device error. Status=0x%02x Error=0x%02x\n",
                   context.registers.command, fis[2], fis[3]);
        }
        return result_device_error;
    }
    return result_completed;
}

} // namespace

result_code open_csmi_device(device_context& context, const WCHAR* controller_path,
                             int32_t& phy_index, const uint8_t (&sas_address)[8], bool l_flag) {
    context.handle =
        CreateFileW(controller_path, GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    context.last_error = GetLastError();
    if (context.handle == INVALID_HANDLE_VALUE) {
        printf("Error: Opening Device %ls\n", controller_path);
        return result_request_failed;
    }

    const std::unique_ptr<CSMI_SAS_PHY_INFO_BUFFER> phy_info(new (std::nothrow)
                                                                 CSMI_SAS_PHY_INFO_BUFFER);
    if (phy_info == nullptr || !get_phy_info(context.handle, *phy_info)) {
        printf("Could not get CSMI phy information for %ls\n", controller_path);
        return result_request_failed;
    }
    const CSMI_SAS_PHY_INFO& table = phy_info->Information;

    // "/l" with an address: the address is used as it is; the table is not consulted. The phy
    // form gives no address to use, so there the phy number chooses the target as without
    // "/l" (an address of zeros would reach whichever drive reports that address).
    if (l_flag && phy_index < 0) {
        memset(&context.phy_entity, 0, sizeof context.phy_entity);
        memcpy(context.phy_entity.Identify.bSASAddress, sas_address, 8);
        memcpy(context.phy_entity.Attached.bSASAddress, sas_address, 8);
        return result_completed;
    }

    if (phy_index < 0) {
        bool matched = false;
        for (int32_t index = 0; index < CSMI_SAS_MAX_PHYS; ++index) {
            const CSMI_SAS_PHY_ENTITY& entry = table.Phy[index];
            // The last matching entry wins.
            if (attached_and_identified(entry) &&
                serves_drives(entry.Attached.bTargetPortProtocol) &&
                memcmp(entry.Attached.bSASAddress, sas_address, 8) == 0) {
                phy_index = index;
                matched = true;
                if (context.verbosity >= 1) {
                    printf("SAS Address for Phy: %d match.\n\n", static_cast<int>(index));
                }
            }
        }
        if (!matched) {
            printf("Device Opened but SAS Address does not match any attached phy \n");
            return result_request_failed;
        }
    }

    // The table has 32 entries; a larger number names no phy.
    if (phy_index >= CSMI_SAS_MAX_PHYS || !attached_and_identified(table.Phy[phy_index])) {
        printf("Device Opened but Phy %d not valid.\n", static_cast<int>(phy_index));
        return result_request_failed;
    }
    const CSMI_SAS_PHY_ENTITY& chosen = table.Phy[phy_index];
    result_code result = result_completed;
    switch (chosen.Attached.bTargetPortProtocol) {
    case CSMI_SAS_PROTOCOL_SATA:
        if (context.verbosity >= 1) {
            printf("CSMI_SAS_PROTOCOL_SATA supported for Phy: %d\n\n", static_cast<int>(phy_index));
        }
        break;
    case CSMI_SAS_PROTOCOL_STP:
        if (context.verbosity >= 1) {
            printf("CSMI_SAS_PROTOCOL_STP supported for Phy: %d\n\n", static_cast<int>(phy_index));
        }
        break;
    case CSMI_SAS_PROTOCOL_SSP:
        // SAS targets are not served.
        if (context.verbosity >= 1) {
            printf("CSMI_SAS_PROTOCOL_SSP supported for Phy: %d\n", static_cast<int>(phy_index));
        }
        result = result_request_failed;
        break;
    default:
        printf("Uknown Protocol 0x%02x for Phy: %d\n", chosen.Attached.bTargetPortProtocol,
               static_cast<int>(phy_index));
        result = result_request_failed;
        break;
    }
    if (result == result_completed) {
        context.phy_entity = chosen;
    }
    return result;
}

result_code issue_stp_passthru(device_context& context) {
    if (context.direction != data_none && context.direction != data_in &&
        context.direction != data_out) {
        return result_invalid_request;
    }
    const bool with_data = context.direction != data_none;
    csmi_buffer buffer(uint64_t{stp_request_size} + (with_data ? context.transfer_length : 0));
    if (!buffer.allocated()) {
        printf("Error allocating memory for stp command\n");
        return result_invalid_request;
    }
    const uint32_t size = buffer.size();
    if (context.verbosity == 2) {
        printf("Allocated %d bytes for cmd 0x%x\n", static_cast<int>(size),
               context.registers.command);
    }

    auto& request = buffer.as<CSMI_SAS_STP_PASSTHRU_BUFFER>();
    fill_ioctl_header(request.IoctlHeader, CSMI_SAS_SIGNATURE, CC_CSMI_SAS_STP_PASSTHRU,
                      pass_through_timeout(context), size);
    CSMI_SAS_STP_PASSTHRU& parameters = request.Parameters;
    parameters.bPhyIdentifier = context.phy_entity.Identify.bPhyIdentifier;
    parameters.bPortIdentifier = context.phy_entity.bPortIdentifier;
    parameters.bConnectionRate = CSMI_SAS_LINK_RATE_NEGOTIATED;
    memcpy(parameters.bDestinationSASAddress, context.phy_entity.Attached.bSASAddress, 8);
    build_command_fis(parameters.bCommandFIS, context.registers);
    parameters.uFlags = CSMI_SAS_STP_PIO;
    if (context.direction == data_in) {
        parameters.uFlags |= CSMI_SAS_STP_READ;
    } else if (context.direction == data_out) {
        parameters.uFlags |= CSMI_SAS_STP_WRITE;
    } else {
        parameters.uFlags |= CSMI_SAS_STP_UNSPECIFIED; // no data phase
    }
    parameters.uDataLength = with_data ? context.transfer_length : 0;
    if (context.direction == data_out && context.transfer_length > 0) {
        memcpy(buffer.bytes() + stp_data_offset, context.data_buffer, context.transfer_length);
    }
    if (context.verbosity == 2) {
        printf("------\n\n");
        print_stp_request(parameters);
        printf("------\n\n");
    }

    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(context.handle, IOCTL_SCSI_MINIPORT, buffer.bytes(), size,
                                    buffer.bytes(), size, &returned, nullptr);
    context.last_error = GetLastError();

    result_code result = result_request_failed;
    if (ok == FALSE || request.IoctlHeader.ReturnCode != CSMI_SAS_STATUS_SUCCESS) {
        printf("%s: CMD=0x%x failed. ioret=%d GetLastErr=0x%x, IoctlHeader->ReturnCode=%d\n",
               "issue_stp_passthru", context.registers.command, ok != FALSE ? 1 : 0,
               static_cast<unsigned>(context.last_error),
               static_cast<int>(request.IoctlHeader.ReturnCode));
    } else {
        result = judge_stp_status(request.Status, context);
        // Data read come back only from a command that succeeded.
        if (result == result_completed && context.direction == data_in &&
            context.transfer_length > 0) {
            memcpy(context.data_buffer, buffer.bytes() + stp_data_offset, context.transfer_length);
        }
    }
    if (context.verbosity == 2) {
        printf("Status ");
        print_fis(request.Status.bStatusFIS);
    }
    return result;
}

int32_t send_ssp_inquiry(HANDLE controller, const CSMI_SAS_PHY_ENTITY& phy, DWORD& error_code) {
    csmi_buffer buffer(ssp_request_size);
    if (!buffer.allocated()) {
        error_code = ERROR_NOT_ENOUGH_MEMORY;
        return 0;
    }
    auto& request = buffer.as<CSMI_SAS_SSP_PASSTHRU_BUFFER>();
    fill_ioctl_header(request.IoctlHeader, CSMI_SAS_SIGNATURE, CC_CSMI_SAS_SSP_PASSTHRU,
                      csmi_info_timeout_seconds, ssp_request_size);
    CSMI_SAS_SSP_PASSTHRU& parameters = request.Parameters;
    parameters.bPhyIdentifier = 0;
    parameters.bPortIdentifier = 0xFF; // any port
    parameters.bConnectionRate = CSMI_SAS_LINK_RATE_NEGOTIATED;
    memcpy(parameters.bDestinationSASAddress, phy.Attached.bSASAddress, 8);
    parameters.bCDBLength = 6;
    const UCHAR inquiry[6] = {0x12, 0x00, 0x00, 0x00, ssp_inquiry_length, 0x00};
    memcpy(parameters.bCDB, inquiry, sizeof inquiry);
    parameters.uFlags = CSMI_SAS_SSP_READ;
    parameters.uDataLength = ssp_inquiry_length;

    printf("SAS Address: ");
    for (UCHAR byte : parameters.bDestinationSASAddress) {
        printf("0x%02x ", byte);
    }
    printf("\n");

    const bool ok = send_csmi_request(controller, buffer.bytes(), buffer.size());
    if (!ok) {
        error_code = GetLastError();
    }
    return ok ? 1 : 0;
}

} // namespace skelder
