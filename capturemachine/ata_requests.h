// One query at a time through a disk's pass-through routes: an ATA command that reads one
// 512-byte block (IDENTIFY DEVICE, READ LOG EXT), and SCSI INQUIRY. Nothing else is built here,
// so nothing else can be sent to a disk.
#pragma once

#include "machine_record.h"

#include <windows.h>
#include <ata.h>

#include <cstdint>
#include <vector>

namespace capture {

// The control codes a program may use to reach a drive, each tried in this order.
enum class disk_route {
    sat16_direct,   // IOCTL_SCSI_PASS_THROUGH_DIRECT, ATA PASS-THROUGH(16)
    sat16_buffered, // IOCTL_SCSI_PASS_THROUGH, ATA PASS-THROUGH(16)
    ata_direct,     // IOCTL_ATA_PASS_THROUGH_DIRECT
    ata_buffered,   // IOCTL_ATA_PASS_THROUGH
    smart,          // SMART_RCV_DRIVE_DATA (IDENTIFY DEVICE only)
};
inline constexpr disk_route all_disk_routes[] = {disk_route::sat16_direct,
                                                 disk_route::sat16_buffered, disk_route::ata_direct,
                                                 disk_route::ata_buffered, disk_route::smart};
std::uint32_t control_code_of(disk_route route);
const char* name_of(disk_route route);

// The two data-in commands a capture sends; the device register is 0 and the upper halves of
// 48-bit registers are 0.
struct ata_query {
    std::uint8_t command = 0;
    std::uint8_t lba_low = 0;
    std::uint8_t lba_mid = 0;
    bool extended = false;
};
inline constexpr ata_query identify_device{ATA_IDENTIFY_DEVICE, 0, 0, false};
// READ LOG EXT of the IDENTIFY DEVICE data log, page 3: supported capabilities.
inline constexpr ata_query read_capabilities_page{ATA_READ_LOG_EXT, ATA_LOG_IDENTIFY_DEVICE,
                                                  ATA_LOG_PAGE_CAPABILITIES, true};

enum class outcome {
    completed,      // the drive executed it (data in the buffer, unless none came)
    device_error,   // the drive answered with an error
    sat_refused,    // the SAT layer refused the block (ILLEGAL REQUEST)
    request_failed, // DeviceIoControl failed (error) or the request never reached the drive
};

struct route_reply {
    outcome result = outcome::request_failed;
    std::uint32_t error = 0; // the Windows error of a failed DeviceIoControl
    std::uint32_t transferred = 0;
    std::vector<std::uint8_t> sense; // of a CHECK CONDITION
};

// `check_condition` sets CK_COND in the ATA PASS-THROUGH block (SCSI routes only).
route_reply send_ata_query(HANDLE disk, const scsi_address_record& address, disk_route route,
                           const ata_query& query, std::uint8_t (&data)[512],
                           bool check_condition = false);

// Standard INQUIRY data (vital false) or a vital product data page, through SCSI
// pass-through, direct or buffered.
route_reply send_inquiry(HANDLE disk, const scsi_address_record& address, bool direct, bool vital,
                         std::uint8_t page, std::uint8_t (&data)[252]);

struct sense_fields {
    bool descriptor_format = false;
    std::uint8_t key = 0, asc = 0, ascq = 0;
};
// Fixed (70h, 71h) or descriptor (72h, 73h) sense data; false for anything else.
bool decode_sense(const std::vector<std::uint8_t>& sense, sense_fields& fields);

} // namespace capture
