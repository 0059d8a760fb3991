#include "instant_devices.h"

#include <winsim/device.h>
#include <winsim/machine.h>

#include <windows.h>
#include <ntddscsi.h>
#include <winioctl.h>
#include <csmi.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

namespace fwu_bench {
namespace {

constexpr std::uint8_t status_ready = 0x50; // DRDY and DSC, no error
constexpr std::uint8_t fis_register_d2h = 0x34;

nlohmann::json named(const wchar_t* name) {
    std::string ascii;
    for (const wchar_t* p = name; *p != L'\0'; ++p) {
        ascii += static_cast<char>(*p);
    }
    return {{"names", {ascii}}};
}

// IDENTIFY data of the instant drive: a model text, nothing else (security off).
void fill_identify(std::uint8_t* data, std::uint32_t length) {
    std::memset(data, 0, length);
    if (length < 512) {
        return;
    }
    char model[40];
    std::memset(model, ' ', sizeof model);
    std::memcpy(model, instant_model, std::strlen(instant_model));
    for (int i = 0; i < 20; ++i) { // words 27 to 46, first character in the high byte
        data[(27 + i) * 2] = static_cast<std::uint8_t>(model[2 * i + 1]);
        data[(27 + i) * 2 + 1] = static_cast<std::uint8_t>(model[2 * i]);
    }
}

class instant_disk final : public winsim::device {
public:
    instant_disk() : device(named(instant_disk_name)) {}

protected:
    std::uint32_t handle(winsim::control_request& request) override {
        switch (request.code) {
        case IOCTL_SCSI_PASS_THROUGH_DIRECT:
            return scsi(request);
        case IOCTL_ATA_PASS_THROUGH_DIRECT:
            return ata(request);
        case IOCTL_STORAGE_QUERY_PROPERTY:
            return adapter(request);
        default:
            return ERROR_INVALID_FUNCTION;
        }
    }

private:
    static std::uint32_t scsi(winsim::control_request& request) {
        if (request.in_length < sizeof(SCSI_PASS_THROUGH_DIRECT) ||
            request.out_length < sizeof(SCSI_PASS_THROUGH_DIRECT)) {
            return ERROR_INVALID_PARAMETER;
        }
        auto* reply = static_cast<SCSI_PASS_THROUGH_DIRECT*>(request.out);
        if (request.out != request.in) {
            std::memcpy(request.out, request.in, sizeof(SCSI_PASS_THROUGH_DIRECT));
        }
        reply->ScsiStatus = 0;
        reply->SenseInfoLength = 0;
        request.returned = sizeof(SCSI_PASS_THROUGH_DIRECT);
        return ERROR_SUCCESS;
    }

    static std::uint32_t ata(winsim::control_request& request) {
        if (request.in_length < sizeof(ATA_PASS_THROUGH_DIRECT) ||
            request.out_length < sizeof(ATA_PASS_THROUGH_DIRECT)) {
            return ERROR_INVALID_PARAMETER;
        }
        auto* reply = static_cast<ATA_PASS_THROUGH_DIRECT*>(request.out);
        if (request.out != request.in) {
            std::memcpy(request.out, request.in, sizeof(ATA_PASS_THROUGH_DIRECT));
        }
        if ((reply->AtaFlags & ATA_FLAGS_DATA_IN) != 0 && reply->DataBuffer != nullptr) {
            fill_identify(static_cast<std::uint8_t*>(reply->DataBuffer), reply->DataTransferLength);
        }
        reply->CurrentTaskFile[0] = 0;
        reply->CurrentTaskFile[6] = status_ready;
        request.returned = sizeof(ATA_PASS_THROUGH_DIRECT);
        return ERROR_SUCCESS;
    }

    static std::uint32_t adapter(winsim::control_request& request) {
        STORAGE_ADAPTER_DESCRIPTOR descriptor{};
        descriptor.Version = sizeof descriptor;
        descriptor.Size = sizeof descriptor;
        descriptor.MaximumTransferLength = 0x200000;
        descriptor.BusType = BusTypeSata;
        const auto length = request.out_length < sizeof descriptor
                                ? request.out_length
                                : static_cast<std::uint32_t>(sizeof descriptor);
        std::memcpy(request.out, &descriptor, length);
        request.returned = length;
        return ERROR_SUCCESS;
    }
};

class instant_controller final : public winsim::device {
public:
    instant_controller() : device(named(instant_controller_name)) {}

protected:
    std::uint32_t handle(winsim::control_request& request) override {
        if (request.code != IOCTL_SCSI_MINIPORT || request.in != request.out ||
            request.in_length < sizeof(IOCTL_HEADER)) {
            return ERROR_INVALID_FUNCTION;
        }
        auto* bytes = static_cast<std::uint8_t*>(request.in);
        auto* header = static_cast<IOCTL_HEADER*>(request.in);
        header->ReturnCode = CSMI_SAS_STATUS_SUCCESS;
        request.returned = request.in_length;
        if (header->ControlCode == CC_CSMI_SAS_STP_PASSTHRU &&
            request.in_length >= sizeof(CSMI_SAS_STP_PASSTHRU_BUFFER)) {
            auto* stp = static_cast<CSMI_SAS_STP_PASSTHRU_BUFFER*>(request.in);
            stp->Status.bConnectionStatus = CSMI_SAS_OPEN_ACCEPT;
            stp->Status.bStatusFIS[0] = fis_register_d2h;
            stp->Status.bStatusFIS[2] = status_ready;
            stp->Status.uDataBytes = stp->Parameters.uDataLength;
            if ((stp->Parameters.uFlags & CSMI_SAS_STP_READ) != 0) {
                constexpr auto data_at = offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, bDataBuffer);
                const auto room = request.in_length - static_cast<std::uint32_t>(data_at);
                fill_identify(bytes + data_at, stp->Parameters.uDataLength < room
                                                   ? stp->Parameters.uDataLength
                                                   : room);
            }
        } else if (header->ControlCode == CC_CSMI_SAS_GET_RAID_CONFIG &&
                   request.in_length >= sizeof(CSMI_SAS_RAID_CONFIG_BUFFER)) {
            auto* config = static_cast<CSMI_SAS_RAID_CONFIG_BUFFER*>(request.in);
            config->Configuration.bDriveCount = 1;
            for (int i = 0; i < 8; ++i) {
                config->Configuration.Drives[0].bSASAddress[i] =
                    static_cast<std::uint8_t>(instant_sas_address >> (56 - 8 * i));
            }
        }
        return ERROR_SUCCESS;
    }
};

} // namespace

void install_instant_devices() {
    static const bool installed = [] {
        auto& machine = winsim::machine::instance();
        machine.add_device(std::make_unique<instant_disk>());
        machine.add_device(std::make_unique<instant_controller>());
        return true;
    }();
    (void)installed;
}

} // namespace fwu_bench
