// The SCSI/ATA Translation layer in front of a drive: ATA PASS-THROUGH(16) and (12)
// command blocks become the twelve registers, the drive's answer becomes SCSI status
// and sense data; INQUIRY is answered from the drive's identity.
#pragma once

#include <winsim/ata.h>
#include <winsim/drive.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace winsim {

namespace scsi_status {
constexpr std::uint8_t good = 0x00;
constexpr std::uint8_t check_condition = 0x02;
constexpr std::uint8_t busy = 0x08;
constexpr std::uint8_t reservation_conflict = 0x18;
constexpr std::uint8_t task_set_full = 0x28;
constexpr std::uint8_t task_aborted = 0x40;
} // namespace scsi_status

namespace sense_key {
constexpr std::uint8_t recovered_error = 0x01;
constexpr std::uint8_t illegal_request = 0x05;
constexpr std::uint8_t aborted_command = 0x0B;
} // namespace sense_key

enum class sense_format { fixed, descriptor };

// Which SAT layer sits in front of the drive.
enum class sat_kind {
    windows_ahci, // Windows' inbox AHCI driver: only ERR (or BSY) fails a command
    libata,       // Linux: a device fault fails it too
    none,         // no ATA PASS-THROUGH at all
};

struct sat_settings {
    sat_kind kind = sat_kind::windows_ahci;
    bool takes_ck_cond = true; // false: a block with CK_COND set is an invalid field
    bool strict = false;       // the transfer is derived from the block's own fields
    sense_format format = sense_format::fixed;
};

struct scsi_result {
    std::uint8_t status = scsi_status::good;
    std::vector<std::uint8_t> sense;
    std::uint32_t transferred = 0;
    // The drive was reset when the time limit ran out; the request fails.
    bool interrupted = false;
    // The description field whose rule refused the command, for the trace; null when none did.
    const char* refused_by = nullptr;
};

struct ata_passthrough_cdb {
    ata_registers registers;
    std::uint8_t protocol = 0;
    bool extend = false;
    bool check_condition = false; // CK_COND: return the registers even on success
    bool from_device = false;     // T_DIR
    bool in_blocks = false;       // BYTE_BLOCK: the T_LENGTH field counts 512-byte blocks
    std::uint8_t t_length = 0;    // where the transfer length is: 0 none, 1 FEATURES, 2 COUNT
    const char* route = "";
};

// Decodes 0x85 (16 bytes) and 0xA1 (12 bytes) blocks; anything else gives nothing.
std::optional<ata_passthrough_cdb> decode_ata_passthrough(std::span<const std::uint8_t> cdb);

// Sense data carrying the ATA registers: "ATA PASS-THROUGH INFORMATION AVAILABLE".
std::vector<std::uint8_t> ata_return_sense(const ata_reply& reply, bool extend, std::uint8_t key,
                                           sense_format format);
std::vector<std::uint8_t> plain_sense(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq,
                                      sense_format format);

// One SCSI command with its data phase (direction and buffer as the request gives them), and
// the request's time limit for the ATA command it carries.
scsi_result execute_scsi(drive& target, std::span<const std::uint8_t> cdb, data_direction direction,
                         std::span<std::uint8_t> data, const sat_settings& sat,
                         std::optional<std::uint64_t> time_limit_ms = std::nullopt);

} // namespace winsim
