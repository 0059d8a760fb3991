// What a capture saw of the machine, before it is written as a machine description
// (docs/machine-format.md). Only what the queries answered; nothing here is a default.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace capture {

using identify_words = std::array<std::uint16_t, 256>;
using log_page = std::array<std::uint8_t, 512>;
using sas_address = std::array<std::uint8_t, 8>;

// One ATA drive, read through a disk or a CSMI phy.
struct drive_record {
    std::string id;
    identify_words identify{};
    // The IDENTIFY DEVICE data log's supported capabilities page (log 0x30, page 3), when the
    // drive returned it.
    std::optional<log_page> capabilities;
    // The SCSI identity a SAT layer reports (disks only).
    std::optional<std::string> scsi_vendor, scsi_product, scsi_revision, scsi_serial;
};

// A control code the disk's driver does not offer, and the error it answers.
struct refused_code {
    std::uint32_t ioctl = 0;
    std::uint32_t error = 0;
};

struct scsi_address_record {
    std::uint8_t port = 0, path = 0, target = 0, lun = 0;
};

struct adapter_limits {
    std::uint32_t max_transfer_length = 0; // 0: the adapter reports no limit
    std::uint32_t max_physical_pages = 0;
    std::uint32_t alignment_mask = 0;
};

// One \\.\PhysicalDriveN whose drive answered IDENTIFY DEVICE.
struct disk_record {
    std::wstring name;
    std::uint32_t number = 0;                   // the N of \\.\PhysicalDriveN
    std::optional<std::uint32_t> device_number; // IOCTL_STORAGE_GET_DEVICE_NUMBER's answer
    std::wstring interface_path;                // empty: no disk interface is tied to this number
    std::string drive_id;
    std::optional<scsi_address_record> address;
    std::optional<std::uint8_t> bus_type; // STORAGE_BUS_TYPE of the device descriptor
    std::optional<adapter_limits> adapter;
    bool sat_layer_none = false;             // ATA PASS-THROUGH is an unknown operation code
    std::optional<bool> sat_ck_cond;         // whether the SAT layer takes CK_COND
    std::optional<std::string> sense_format; // "fixed" or "descriptor", as a reply showed it
    std::vector<refused_code> refused;
    std::vector<std::string> notes;
};

struct sas_identify_record {
    std::uint8_t device_type = 0;
    std::uint8_t initiator_protocol = 0;
    std::uint8_t target_protocol = 0;
    sas_address address{};
    std::uint8_t phy_identifier = 0;
};

struct ssp_identity {
    std::string vendor, product, revision;
};

struct phy_record {
    std::uint8_t number = 0;
    std::uint8_t port = 0;
    std::uint8_t negotiated_rate = 0, minimum_rate = 0, maximum_rate = 0;
    sas_identify_record identify;
    sas_identify_record attached;
    std::string drive_id; // a SATA or STP drive that answered IDENTIFY DEVICE
    std::optional<ssp_identity> ssp_target;
};

struct raid_set_record {
    std::uint32_t index = 0;
    std::uint8_t raid_type = 0;
    std::vector<std::string> drive_ids;
};

struct driver_info_record {
    std::string name, description;
    std::array<std::uint16_t, 4> revision{};
    std::array<std::uint16_t, 2> csmi_revision{};
};

struct controller_config_record {
    std::uint32_t board_id = 0;
    std::uint16_t slot = 0;
    std::uint8_t controller_class = 0, io_bus_type = 0;
    std::uint8_t pci_bus = 0, pci_device = 0, pci_function = 0;
    std::string serial;
    std::array<std::uint16_t, 4> revision{}, bios_revision{};
    std::uint32_t flags = 0;
};

// One \\.\SCSIn: whose driver answered CSMI driver information.
struct controller_record {
    std::uint32_t number = 0;
    std::wstring name;
    driver_info_record driver;
    std::optional<controller_config_record> config;
    std::optional<std::uint8_t> reported_phys; // bNumberOfPhys, when the phy table arrived
    std::vector<phy_record> phys;
    std::vector<raid_set_record> raid_sets;
    bool returns_status_fis = true;
    std::vector<std::string> notes;
};

// A storage controller or disk drive the setup API lists.
struct setup_device_record {
    std::wstring class_name, class_guid, description, hardware_id;
};

// A device that is there but did not answer: which request it refused and the Windows error
// (0 when the refusal is not a Windows error, such as a CSMI ReturnCode).
struct refusing_device {
    std::wstring name;
    std::string request;
    std::uint32_t error = 0;
    std::string reason;
};

struct machine_record {
    bool elevated = false;
    bool windows_64bit = false;
    std::vector<drive_record> drives;
    std::vector<disk_record> disks;
    std::vector<controller_record> controllers;
    std::vector<setup_device_record> setup_devices;
    std::vector<refusing_device> refusing;
};

} // namespace capture
