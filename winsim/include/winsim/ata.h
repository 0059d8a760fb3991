// The twelve ATA registers, the data phase, and what a drive answers.
#pragma once

#include <ata.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace winsim {

enum class data_direction { none, in, out };

std::string to_string(data_direction direction);

struct ata_registers {
    std::uint8_t features = 0;
    std::uint8_t count = 0;
    std::uint8_t lba_low = 0;
    std::uint8_t lba_mid = 0;
    std::uint8_t lba_high = 0;
    std::uint8_t device = 0;
    std::uint8_t command = 0;
    // The upper halves of the 48-bit fields (features 15:8, count 15:8, LBA 31:24,
    // 39:32, 47:40); zero for a 28-bit command.
    std::uint8_t features_ext = 0;
    std::uint8_t count_ext = 0;
    std::uint8_t lba_low_ext = 0;
    std::uint8_t lba_mid_ext = 0;
    std::uint8_t lba_high_ext = 0;
};

struct ata_command {
    ata_registers registers;
    data_direction direction = data_direction::none;
    std::span<std::uint8_t> data; // the whole data phase the transport offers
    std::string route;            // "sat16", "sat12", "ata", "smart", "stp"
    // The transport's time limit: the port driver resets the device when the command takes
    // longer. None: the transport waits for the command whatever it takes.
    std::optional<std::uint64_t> time_limit_ms;
};

// Status and error, with the other output registers as the drive leaves them.
struct ata_reply {
    std::uint8_t status = 0;
    std::uint8_t error = 0;
    ata_registers registers; // count, LBA and device on return (command unused)
    std::uint32_t transferred = 0;
    // The time limit ran out first: the device was reset and the command did not complete.
    bool interrupted = false;
};

namespace ata_status {
constexpr std::uint8_t busy = ATA_STATUS_BSY;
constexpr std::uint8_t ready = ATA_STATUS_DRDY;
constexpr std::uint8_t device_fault = ATA_STATUS_DF;
constexpr std::uint8_t seek_complete = ATA_STATUS_DSC;
constexpr std::uint8_t error = ATA_STATUS_ERR;
constexpr std::uint8_t good = ready | seek_complete;           // 0x50
constexpr std::uint8_t failed = ready | seek_complete | error; // 0x51
} // namespace ata_status

namespace ata_error {
constexpr std::uint8_t abort = ATA_ERROR_ABRT;
}

} // namespace winsim
