#pragma once
// The one record through which Skelder talks to its target: where the command goes,
// the command itself, and how loudly failures are reported.

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>
#include <csmi.h>

#include <cstdint>

namespace skelder {

// route_flags: the route the commands take.
inline constexpr uint64_t route_scsi = 0x01;
inline constexpr uint64_t route_ata = 0x02;
inline constexpr uint64_t route_csmi = 0x04;

// direction
inline constexpr uint32_t data_none = 0;
inline constexpr uint32_t data_in = 1;
inline constexpr uint32_t data_out = 2;

// addressing
inline constexpr uint32_t addressing_28bit = 1;
inline constexpr uint32_t addressing_48bit = 2;

// protocol
inline constexpr uint32_t protocol_pio = 1;
inline constexpr uint32_t protocol_non_data = 3;

// cdb_flags
inline constexpr uint32_t cdb_flag_16_byte = 0x01;
inline constexpr uint32_t cdb_flag_check_condition = 0x20;

// The ATA command in ATA PASS-THROUGH(16) order, so bytes 3 to 14 of that block are a
// straight copy. The _ext bytes are the upper halves of the 48-bit fields.
struct ata_registers {
    uint8_t features_ext;
    uint8_t features;
    uint8_t count_ext;
    uint8_t count;
    uint8_t lba_low_ext;
    uint8_t lba_low;
    uint8_t lba_mid_ext;
    uint8_t lba_mid;
    uint8_t lba_high_ext;
    uint8_t lba_high;
    uint8_t device;
    uint8_t command;
};
static_assert(sizeof(ata_registers) == 12);

struct device_context {
    HANDLE handle;
    SCSI_ADDRESS scsi_address;
    uint32_t direction;
    void* data_buffer;
    uint32_t transfer_length;
    uint32_t timeout_seconds; // 0: 5 seconds on every route; carried over like the registers
    int32_t verbosity;
    uint64_t route_flags;
    uint32_t last_error;
    uint32_t addressing;
    uint32_t protocol;
    // Never cleared between commands: each writer sets what its command needs, and the other
    // registers go out as the previous command left them ("carried over" at each writer).
    // Nothing writes the _ext bytes, so they stay zero.
    ata_registers registers;
    uint32_t cdb_flags;
    CSMI_SAS_PHY_ENTITY phy_entity; // the phy the CSMI route reaches the drive through
};

// Every route reads a timeout of 0 as 5 seconds; no driver is handed 0, which one that takes
// it literally expires at once.
inline uint32_t pass_through_timeout(const device_context& context) {
    return context.timeout_seconds == 0 ? 5 : context.timeout_seconds;
}

} // namespace skelder
