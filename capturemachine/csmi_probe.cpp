#include "csmi_probe.h"

#include "ata_requests.h"
#include "identify_data.h"

#include <windows.h>
#include <ata.h>
#include <csmi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace capture {
namespace {

// Seconds the driver may take. Never 0: some drivers take 0 literally and give up at once.
constexpr ULONG time_limit_seconds = 30;
// Room for this many drives in a RAID configuration reply.
constexpr std::size_t raid_drive_room = 32;

struct csmi_reply {
    bool delivered = false;  // DeviceIoControl succeeded and ReturnCode is 0
    std::uint32_t error = 0; // Windows error of a failed call
    std::uint32_t return_code = 0;
    std::vector<std::uint8_t> buffer; // header and all
};

// One information request (or pass-through) of `size` bytes; `fill` writes what follows the
// header before it is sent.
template <typename Fill>
csmi_reply send_csmi(HANDLE controller, ULONG code, const char* signature, std::size_t size,
                     Fill fill) {
    csmi_reply reply;
    reply.buffer.assign(size, 0);
    IOCTL_HEADER header{};
    header.HeaderLength = sizeof header;
    std::memcpy(header.Signature, signature, sizeof header.Signature);
    header.Timeout = time_limit_seconds;
    header.ControlCode = code;
    header.Length = static_cast<ULONG>(size - sizeof header);
    std::memcpy(reply.buffer.data(), &header, sizeof header);
    fill(reply.buffer.data());
    DWORD returned = 0;
    const auto length = static_cast<DWORD>(size);
    if (!::DeviceIoControl(controller, IOCTL_SCSI_MINIPORT, reply.buffer.data(), length,
                           reply.buffer.data(), length, &returned, nullptr)) {
        reply.error = ::GetLastError();
        return reply;
    }
    std::memcpy(&header, reply.buffer.data(), sizeof header);
    reply.return_code = header.ReturnCode;
    reply.delivered = header.ReturnCode == CSMI_SAS_STATUS_SUCCESS;
    return reply;
}

csmi_reply send_csmi(HANDLE controller, ULONG code, const char* signature, std::size_t size) {
    return send_csmi(controller, code, signature, size, [](std::uint8_t*) {});
}

template <typename T> T read_at(const csmi_reply& reply, std::size_t offset) {
    T value{};
    std::memcpy(&value, reply.buffer.data() + offset, sizeof value);
    return value;
}

template <std::size_t n> std::string c_text(const UCHAR (&field)[n]) {
    const auto* end = std::find(field, field + n, UCHAR{0});
    return std::string(field, end);
}

std::string failure_text(const csmi_reply& reply) {
    return reply.error != 0 ? "error " + std::to_string(reply.error)
                            : "ReturnCode " + std::to_string(reply.return_code);
}

sas_identify_record identify_part(const CSMI_SAS_IDENTIFY& part) {
    sas_identify_record record;
    record.device_type = part.bDeviceType;
    record.initiator_protocol = part.bInitiatorPortProtocol;
    record.target_protocol = part.bTargetPortProtocol;
    std::copy(std::begin(part.bSASAddress), std::end(part.bSASAddress), record.address.begin());
    record.phy_identifier = part.bPhyIdentifier;
    return record;
}

struct open_controller {
    HANDLE handle = INVALID_HANDLE_VALUE;
    controller_record record;
};

void read_driver_info(const csmi_reply& reply, controller_record& record) {
    const auto info = read_at<CSMI_SAS_DRIVER_INFO>(reply, sizeof(IOCTL_HEADER));
    record.driver.name = c_text(info.szName);
    record.driver.description = c_text(info.szDescription);
    record.driver.revision = {info.usMajorRevision, info.usMinorRevision, info.usBuildRevision,
                              info.usReleaseRevision};
    record.driver.csmi_revision = {info.usCSMIMajorRevision, info.usCSMIMinorRevision};
}

void read_config(open_controller& target) {
    const auto reply = send_csmi(target.handle, CC_CSMI_SAS_GET_CNTLR_CONFIG, CSMI_ALL_SIGNATURE,
                                 sizeof(CSMI_SAS_CNTLR_CONFIG_BUFFER));
    if (!reply.delivered) {
        target.record.notes.push_back("controller configuration: " + failure_text(reply));
        return;
    }
    const auto config = read_at<CSMI_SAS_CNTLR_CONFIG>(reply, sizeof(IOCTL_HEADER));
    controller_config_record record;
    record.board_id = config.uBoardID;
    record.slot = config.usSlotNumber;
    record.controller_class = config.bControllerClass;
    record.io_bus_type = config.bIoBusType;
    record.pci_bus = config.BusAddress.PciAddress.bBusNumber;
    record.pci_device = config.BusAddress.PciAddress.bDeviceNumber;
    record.pci_function = config.BusAddress.PciAddress.bFunctionNumber;
    record.serial = c_text(config.szSerialNumber);
    record.revision = {config.usMajorRevision, config.usMinorRevision, config.usBuildRevision,
                       config.usReleaseRevision};
    record.bios_revision = {config.usBIOSMajorRevision, config.usBIOSMinorRevision,
                            config.usBIOSBuildRevision, config.usBIOSReleaseRevision};
    record.flags = config.uControllerFlags;
    target.record.config = record;
}

// A register Host-to-Device FIS of a PIO data-in command of one block.
void command_fis(const ata_query& query, UCHAR (&fis)[20]) {
    std::memset(fis, 0, sizeof fis);
    fis[FIS_H2D_TYPE] = FIS_TYPE_REG_H2D;
    fis[FIS_H2D_FLAGS] = FIS_H2D_COMMAND_BIT;
    fis[FIS_H2D_COMMAND] = query.command;
    fis[FIS_H2D_LBA_LOW] = query.lba_low;
    fis[FIS_H2D_LBA_MID] = query.lba_mid;
    fis[FIS_H2D_DEVICE] = query.extended ? ATA_DEVICE_LBA : 0;
    fis[FIS_H2D_COUNT] = 1;
}

enum class stp_outcome { data, no_data, device_error, failed };

// An ATA query to the drive at `destination` through STP pass-through. The phy is named and the
// port ignored (0xFF): drivers that select by address take that, and so do those that refuse
// a phy named together with a port.
stp_outcome send_stp(open_controller& target, const phy_record& phy, const ata_query& query,
                     std::uint8_t (&data)[512]) {
    constexpr std::size_t data_at = offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, bDataBuffer);
    const auto reply =
        send_csmi(target.handle, CC_CSMI_SAS_STP_PASSTHRU, CSMI_SAS_SIGNATURE,
                  data_at + sizeof data, [&](std::uint8_t* buffer) {
                      CSMI_SAS_STP_PASSTHRU parameters{};
                      parameters.bPhyIdentifier = phy.number;
                      parameters.bPortIdentifier = 0xFF;
                      std::copy(phy.attached.address.begin(), phy.attached.address.end(),
                                parameters.bDestinationSASAddress);
                      command_fis(query, parameters.bCommandFIS);
                      parameters.uFlags = CSMI_SAS_STP_READ | CSMI_SAS_STP_PIO;
                      parameters.uDataLength = sizeof data;
                      std::memcpy(buffer + offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Parameters),
                                  &parameters, sizeof parameters);
                  });
    if (!reply.delivered) {
        return stp_outcome::failed;
    }
    const auto status = read_at<CSMI_SAS_STP_PASSTHRU_STATUS>(
        reply, offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Status));
    if (status.bConnectionStatus != CSMI_SAS_OPEN_ACCEPT) {
        return stp_outcome::failed;
    }
    std::memcpy(data, reply.buffer.data() + data_at, sizeof data);
    if (status.bStatusFIS[FIS_D2H_TYPE] == 0) {
        // Some drivers leave the status part zero: only the data tells the outcome.
        target.record.returns_status_fis = false;
    } else if ((status.bStatusFIS[FIS_D2H_STATUS] & ATA_STATUS_ERR) != 0) {
        return stp_outcome::device_error;
    }
    return any_data(data, sizeof data) ? stp_outcome::data : stp_outcome::no_data;
}

void read_stp_drive(open_controller& target, phy_record& phy, machine_record& machine) {
    alignas(16) std::uint8_t data[512] = {};
    if (send_stp(target, phy, identify_device, data) != stp_outcome::data) {
        target.record.notes.push_back("phy " + std::to_string(phy.number) +
                                      ": IDENTIFY DEVICE through STP brought no data");
        return;
    }
    drive_record drive;
    drive.identify = words_of(data);
    std::memset(data, 0, sizeof data);
    if (send_stp(target, phy, read_capabilities_page, data) == stp_outcome::data) {
        log_page page{};
        std::memcpy(page.data(), data, page.size());
        drive.capabilities = page;
    }
    drive.id = "scsi" + std::to_string(target.record.number) + "-phy" + std::to_string(phy.number);
    phy.drive_id = drive.id;
    machine.drives.push_back(std::move(drive));
}

void read_ssp_target(open_controller& target, phy_record& phy) {
    constexpr std::size_t data_at = offsetof(CSMI_SAS_SSP_PASSTHRU_BUFFER, bDataBuffer);
    constexpr std::size_t length = 96;
    const auto reply =
        send_csmi(target.handle, CC_CSMI_SAS_SSP_PASSTHRU, CSMI_SAS_SIGNATURE, data_at + length,
                  [&](std::uint8_t* buffer) {
                      CSMI_SAS_SSP_PASSTHRU parameters{};
                      parameters.bPhyIdentifier = phy.number;
                      parameters.bPortIdentifier = 0xFF;
                      std::copy(phy.attached.address.begin(), phy.attached.address.end(),
                                parameters.bDestinationSASAddress);
                      parameters.bCDBLength = 6;
                      const UCHAR inquiry[6] = {0x12, 0, 0, 0, static_cast<UCHAR>(length), 0};
                      std::memcpy(parameters.bCDB, inquiry, sizeof inquiry);
                      parameters.uFlags = CSMI_SAS_SSP_READ;
                      parameters.uDataLength = length;
                      std::memcpy(buffer + offsetof(CSMI_SAS_SSP_PASSTHRU_BUFFER, Parameters),
                                  &parameters, sizeof parameters);
                  });
    const auto status = reply.delivered ? read_at<CSMI_SAS_SSP_PASSTHRU_STATUS>(
                                              reply, offsetof(CSMI_SAS_SSP_PASSTHRU_BUFFER, Status))
                                        : CSMI_SAS_SSP_PASSTHRU_STATUS{};
    if (!reply.delivered || status.bConnectionStatus != CSMI_SAS_OPEN_ACCEPT ||
        status.bStatus != 0 || status.uDataBytes < 36) {
        target.record.notes.push_back("phy " + std::to_string(phy.number) +
                                      ": INQUIRY through SSP brought no data");
        return;
    }
    const auto* inquiry = reply.buffer.data() + data_at;
    auto field = [inquiry](std::size_t at, std::size_t width) {
        std::string text(reinterpret_cast<const char*>(inquiry + at), width);
        const auto end = text.find_last_not_of(' ');
        return end == std::string::npos ? std::string() : text.substr(0, end + 1);
    };
    phy.ssp_target = ssp_identity{field(8, 8), field(16, 16), field(32, 4)};
}

bool entry_empty(const CSMI_SAS_PHY_ENTITY& entry) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&entry);
    return !any_data(bytes, sizeof entry);
}

void read_phys(open_controller& target, machine_record& machine) {
    const auto reply = send_csmi(target.handle, CC_CSMI_SAS_GET_PHY_INFO, CSMI_SAS_SIGNATURE,
                                 sizeof(CSMI_SAS_PHY_INFO_BUFFER));
    if (!reply.delivered) {
        target.record.notes.push_back("phy information: " + failure_text(reply));
        return;
    }
    const auto info = read_at<CSMI_SAS_PHY_INFO>(reply, sizeof(IOCTL_HEADER));
    target.record.reported_phys = info.bNumberOfPhys;
    for (std::uint8_t number = 0; number < CSMI_SAS_MAX_PHYS; ++number) {
        const auto& entry = info.Phy[number];
        if (entry_empty(entry)) {
            continue;
        }
        phy_record phy;
        phy.number = number;
        phy.port = entry.bPortIdentifier;
        phy.negotiated_rate = entry.bNegotiatedLinkRate;
        phy.minimum_rate = entry.bMinimumLinkRate;
        phy.maximum_rate = entry.bMaximumLinkRate;
        phy.identify = identify_part(entry.Identify);
        phy.attached = identify_part(entry.Attached);
        if (phy.attached.device_type != 0) {
            if ((phy.attached.target_protocol & (CSMI_SAS_PROTOCOL_SATA | CSMI_SAS_PROTOCOL_STP)) !=
                0) {
                read_stp_drive(target, phy, machine);
            } else if ((phy.attached.target_protocol & CSMI_SAS_PROTOCOL_SSP) != 0) {
                read_ssp_target(target, phy);
            }
        }
        target.record.phys.push_back(phy);
    }
}

// Each RAID drive by the SAS address of the phy it is attached to.
std::string drive_at(const controller_record& record, const UCHAR (&address)[8]) {
    for (const auto& phy : record.phys) {
        if (!phy.drive_id.empty() &&
            std::equal(phy.attached.address.begin(), phy.attached.address.end(), address)) {
            return phy.drive_id;
        }
    }
    return {};
}

void read_raid_sets(open_controller& target) {
    const auto info = send_csmi(target.handle, CC_CSMI_SAS_GET_RAID_INFO, CSMI_RAID_SIGNATURE,
                                sizeof(CSMI_SAS_RAID_INFO_BUFFER));
    if (!info.delivered) {
        target.record.notes.push_back("RAID information: " + failure_text(info));
        return;
    }
    const auto sets = read_at<CSMI_SAS_RAID_INFO>(info, sizeof(IOCTL_HEADER)).uNumRaidSets;
    constexpr std::size_t drives_at = offsetof(CSMI_SAS_RAID_CONFIG_BUFFER, Configuration.Drives);
    for (ULONG index = 0; index < sets && index < 256; ++index) {
        const auto reply = send_csmi(
            target.handle, CC_CSMI_SAS_GET_RAID_CONFIG, CSMI_RAID_SIGNATURE,
            drives_at + raid_drive_room * sizeof(CSMI_SAS_RAID_DRIVES), [&](std::uint8_t* buffer) {
                std::memcpy(buffer +
                                offsetof(CSMI_SAS_RAID_CONFIG_BUFFER, Configuration.uRaidSetIndex),
                            &index, sizeof index);
            });
        if (!reply.delivered) {
            target.record.notes.push_back("RAID set " + std::to_string(index) + ": " +
                                          failure_text(reply));
            continue;
        }
        raid_set_record set;
        set.index = index;
        set.raid_type =
            reply.buffer[offsetof(CSMI_SAS_RAID_CONFIG_BUFFER, Configuration.bRaidType)];
        const std::size_t count = std::min<std::size_t>(
            reply.buffer[offsetof(CSMI_SAS_RAID_CONFIG_BUFFER, Configuration.bDriveCount)],
            raid_drive_room);
        for (std::size_t i = 0; i < count; ++i) {
            const auto member =
                read_at<CSMI_SAS_RAID_DRIVES>(reply, drives_at + i * sizeof(CSMI_SAS_RAID_DRIVES));
            const auto id = drive_at(target.record, member.bSASAddress);
            if (id.empty()) {
                target.record.notes.push_back("RAID set " + std::to_string(index) + ": drive " +
                                              std::to_string(i) +
                                              " is on no phy whose drive answered");
                continue;
            }
            set.drive_ids.push_back(id);
        }
        target.record.raid_sets.push_back(set);
    }
}

void probe_controller(machine_record& machine, unsigned number) {
    const std::wstring name = L"\\\\.\\SCSI" + std::to_wstring(number) + L":";
    open_controller target;
    target.handle =
        ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (target.handle == INVALID_HANDLE_VALUE) {
        const auto error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            machine.refusing.push_back({name, "CreateFileW", error, "the controller did not open"});
        }
        return;
    }
    const auto driver = send_csmi(target.handle, CC_CSMI_SAS_GET_DRIVER_INFO, CSMI_ALL_SIGNATURE,
                                  sizeof(CSMI_SAS_DRIVER_INFO_BUFFER));
    if (!driver.delivered) {
        // Every storage adapter may have this name; only a CSMI driver answers.
        machine.refusing.push_back({name, "CSMI driver information", driver.error,
                                    "the driver did not answer CSMI: " + failure_text(driver)});
        ::CloseHandle(target.handle);
        return;
    }
    target.record.number = number;
    target.record.name = name;
    read_driver_info(driver, target.record);
    read_config(target);
    read_phys(target, machine);
    read_raid_sets(target);
    ::CloseHandle(target.handle);
    machine.controllers.push_back(std::move(target.record));
}

} // namespace

void probe_controllers(machine_record& machine) {
    for (unsigned number = 0; number < controller_numbers; ++number) {
        probe_controller(machine, number);
    }
}

} // namespace capture
