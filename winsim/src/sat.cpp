#include <winsim/sat.h>

#include <ata.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace winsim {
namespace {

constexpr std::uint8_t invalid_field_in_cdb = 0x24;
constexpr std::uint8_t invalid_command_opcode = 0x20;
constexpr std::uint8_t ata_information_available = 0x1D;

scsi_result illegal(std::uint8_t asc, sense_format format) {
    return {scsi_status::check_condition, plain_sense(sense_key::illegal_request, asc, 0, format),
            0};
}

void put_text(std::span<std::uint8_t> out, std::size_t at, std::size_t width,
              const std::string& text) {
    for (std::size_t i = 0; i < width; ++i) {
        out[at + i] = static_cast<std::uint8_t>(i < text.size() ? text[i] : ' ');
    }
}

scsi_result copy_reply(const std::vector<std::uint8_t>& page, std::uint32_t allocation,
                       std::span<std::uint8_t> data) {
    const auto length = std::min<std::size_t>({page.size(), allocation, data.size()});
    if (length > 0) {
        std::memcpy(data.data(), page.data(), length);
    }
    return {scsi_status::good, {}, static_cast<std::uint32_t>(length)};
}

scsi_result inquiry(drive& target, std::span<const std::uint8_t> cdb, data_direction direction,
                    std::span<std::uint8_t> data, sense_format format) {
    if (cdb.size() < 6 || (direction != data_direction::in && !data.empty())) {
        return illegal(invalid_field_in_cdb, format);
    }
    const bool vital = (cdb[1] & 0x01) != 0;
    const std::uint8_t page_code = cdb[2];
    const auto allocation = static_cast<std::uint32_t>(cdb[3] << 8 | cdb[4]);
    std::vector<std::uint8_t> page;
    if (!vital) {
        if (page_code != 0) {
            return illegal(invalid_field_in_cdb, format);
        }
        page.assign(96, 0);
        page[2] = 0x06; // SPC-4
        page[3] = 0x02;
        page[4] = static_cast<std::uint8_t>(page.size() - 5);
        put_text(page, 8, 8, target.scsi_vendor());
        put_text(page, 16, 16, target.scsi_product());
        put_text(page, 32, 4, target.scsi_revision());
    } else if (page_code == 0x00) {
        page = {0x00, 0x00, 0x00, 0x02, 0x00, 0x80};
    } else if (page_code == 0x80) {
        const auto serial = target.scsi_serial();
        page.assign(4 + serial.size(), 0);
        page[1] = 0x80;
        const auto claimed =
            target.serial_page_length().value_or(static_cast<std::uint16_t>(serial.size()));
        page[2] = static_cast<std::uint8_t>(claimed >> 8);
        page[3] = static_cast<std::uint8_t>(claimed & 0xFF);
        put_text(page, 4, serial.size(), serial);
    } else {
        return illegal(invalid_field_in_cdb, format);
    }
    return copy_reply(page, allocation, data);
}

// The data phase must agree with the protocol and T_DIR of the block, as a SATL checks.
bool data_phase_agrees(const ata_passthrough_cdb& block, data_direction direction, bool has_data) {
    switch (block.protocol) {
    case SAT_PROTOCOL_NON_DATA:
        return !has_data;
    case SAT_PROTOCOL_PIO_DATA_IN:
    case SAT_PROTOCOL_UDMA_DATA_IN:
        return !has_data || (direction == data_direction::in && block.from_device);
    case SAT_PROTOCOL_PIO_DATA_OUT:
    case SAT_PROTOCOL_UDMA_DATA_OUT:
        return !has_data || (direction == data_direction::out && !block.from_device);
    case SAT_PROTOCOL_DMA:
        return !has_data || (direction == data_direction::in) == block.from_device;
    default:
        return false;
    }
}

// A strict SATL (some bridges and HBA firmware) derives the transfer from T_LENGTH,
// BYTE_BLOCK and the field T_LENGTH names, and wants the protocol and the data phase to
// match it: a non-data protocol names no field, a data protocol moves exactly those bytes.
bool fields_announce_the_data_phase(const ata_passthrough_cdb& block, std::size_t length) {
    const auto& r = block.registers;
    std::uint32_t announced = 0;
    switch (block.t_length) {
    case SAT_T_LENGTH_NONE:
        break;
    case SAT_T_LENGTH_FEATURES:
        announced = block.extend ? static_cast<std::uint32_t>(r.features_ext << 8 | r.features)
                                 : r.features;
        break;
    case SAT_T_LENGTH_COUNT:
        announced = block.extend ? static_cast<std::uint32_t>(r.count_ext << 8 | r.count) : r.count;
        break;
    default:
        return false; // the length is in a TPSIU, which only the 32-byte block has
    }
    if (block.in_blocks) {
        announced *= 512;
    }
    if (block.protocol == SAT_PROTOCOL_NON_DATA) {
        return block.t_length == SAT_T_LENGTH_NONE && length == 0;
    }
    return block.t_length != 0 && announced != 0 && announced == length;
}

scsi_result refused(scsi_result result, const char* rule) {
    result.refused_by = rule;
    return result;
}

scsi_result ata_passthrough(drive& target, const ata_passthrough_cdb& block,
                            data_direction direction, std::span<std::uint8_t> data,
                            const sat_settings& sat, std::optional<std::uint64_t> time_limit_ms) {
    const auto format = sat.format;
    if (block.check_condition && !sat.takes_ck_cond) {
        return refused(illegal(invalid_field_in_cdb, format), "sat_ck_cond");
    }
    const bool has_data = direction != data_direction::none && !data.empty();
    if (sat.strict && !fields_announce_the_data_phase(block, has_data ? data.size() : 0)) {
        return refused(illegal(invalid_field_in_cdb, format), "sat_strict");
    }
    if (!data_phase_agrees(block, direction, has_data)) {
        return illegal(invalid_field_in_cdb, format);
    }
    // The registers go to the drive as they stand; the drive checks its own block
    // counts against the data it gets.
    ata_command command;
    command.registers = block.registers;
    command.direction = has_data ? direction : data_direction::none;
    command.data = has_data ? data : std::span<std::uint8_t>();
    command.route = block.route;
    command.time_limit_ms = time_limit_ms;
    const auto reply = target.execute(command);
    scsi_result result;
    if (reply.interrupted) {
        result.interrupted = true;
        result.refused_by = "timeout";
        return result;
    }
    result.transferred = reply.transferred;
    // The inbox AHCI driver starts its error path only from the task-file error interrupt,
    // which ERR raises: with ERR clear a device fault completes normally. libata counts DF as
    // a device error. Both fail a reply that is still BSY.
    const bool failed =
        (reply.status & (ata_status::error | ata_status::busy)) != 0 ||
        (sat.kind == sat_kind::libata && (reply.status & ata_status::device_fault) != 0);
    if (failed) {
        result.status = scsi_status::check_condition;
        result.sense = ata_return_sense(reply, block.extend, sense_key::aborted_command, format);
    } else if (block.check_condition) {
        result.status = scsi_status::check_condition;
        result.sense = ata_return_sense(reply, block.extend, sense_key::recovered_error, format);
    }
    return result;
}

} // namespace

std::optional<ata_passthrough_cdb> decode_ata_passthrough(std::span<const std::uint8_t> cdb) {
    ata_passthrough_cdb block;
    if (cdb.size() >= SAT_CDB16_BYTES && cdb[0] == SAT_ATA_PASS_THROUGH_16) {
        block.extend = (cdb[SAT16_PROTOCOL] & SAT_EXTEND) != 0;
        auto& r = block.registers;
        r.features = cdb[SAT16_FEATURES];
        r.count = cdb[SAT16_COUNT];
        r.lba_low = cdb[SAT16_LBA_LOW];
        r.lba_mid = cdb[SAT16_LBA_MID];
        r.lba_high = cdb[SAT16_LBA_HIGH];
        r.device = cdb[SAT16_DEVICE];
        r.command = cdb[SAT16_COMMAND];
        // Without EXTEND the upper register halves are not sent.
        if (block.extend) {
            r.features_ext = cdb[SAT16_FEATURES_EXT];
            r.count_ext = cdb[SAT16_COUNT_EXT];
            r.lba_low_ext = cdb[SAT16_LBA_LOW_EXT];
            r.lba_mid_ext = cdb[SAT16_LBA_MID_EXT];
            r.lba_high_ext = cdb[SAT16_LBA_HIGH_EXT];
        }
        block.route = "sat16";
    } else if (cdb.size() >= SAT_CDB12_BYTES && cdb[0] == SAT_ATA_PASS_THROUGH_12) {
        auto& r = block.registers;
        r.features = cdb[SAT12_FEATURES];
        r.count = cdb[SAT12_COUNT];
        r.lba_low = cdb[SAT12_LBA_LOW];
        r.lba_mid = cdb[SAT12_LBA_MID];
        r.lba_high = cdb[SAT12_LBA_HIGH];
        r.device = cdb[SAT12_DEVICE];
        r.command = cdb[SAT12_COMMAND];
        block.route = "sat12";
    } else {
        return std::nullopt;
    }
    // Bytes 1 and 2 lie alike in both blocks.
    const std::uint8_t flags = cdb[SAT16_FLAGS];
    block.protocol =
        static_cast<std::uint8_t>((cdb[SAT16_PROTOCOL] & SAT_PROTOCOL_MASK) >> SAT_PROTOCOL_SHIFT);
    block.check_condition = (flags & SAT_CK_COND) != 0;
    block.from_device = (flags & SAT_T_DIR_IN) != 0;
    block.in_blocks = (flags & SAT_BYT_BLOK) != 0;
    block.t_length = static_cast<std::uint8_t>(flags & SAT_T_LENGTH_MASK);
    return block;
}

std::vector<std::uint8_t> plain_sense(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq,
                                      sense_format format) {
    if (format == sense_format::descriptor) {
        return {0x72, key, asc, ascq, 0, 0, 0, 0};
    }
    std::vector<std::uint8_t> sense(18, 0);
    sense[0] = 0x70;
    sense[2] = key;
    sense[7] = 10;
    sense[12] = asc;
    sense[13] = ascq;
    return sense;
}

std::vector<std::uint8_t> ata_return_sense(const ata_reply& reply, bool extend, std::uint8_t key,
                                           sense_format format) {
    const auto& r = reply.registers;
    auto sense = plain_sense(key, 0x00, ata_information_available, format);
    if (format == sense_format::descriptor) {
        sense[7] = 14;
        const std::uint8_t descriptor[14] = {SAT_ATA_RETURN_DESCRIPTOR,
                                             0x0C,
                                             static_cast<std::uint8_t>(extend ? 1 : 0),
                                             reply.error,
                                             r.count_ext,
                                             r.count,
                                             r.lba_low_ext,
                                             r.lba_low,
                                             r.lba_mid_ext,
                                             r.lba_mid,
                                             r.lba_high_ext,
                                             r.lba_high,
                                             r.device,
                                             reply.status};
        sense.insert(sense.end(), std::begin(descriptor), std::end(descriptor));
        return sense;
    }
    sense[3] = reply.error;
    sense[4] = reply.status;
    sense[5] = r.device;
    sense[6] = r.count;
    sense[8] = static_cast<std::uint8_t>(
        (extend ? 0x80 : 0) | (r.count_ext != 0 ? 0x40 : 0) |
        ((r.lba_low_ext | r.lba_mid_ext | r.lba_high_ext) != 0 ? 0x20 : 0));
    sense[9] = r.lba_low;
    sense[10] = r.lba_mid;
    sense[11] = r.lba_high;
    return sense;
}

scsi_result execute_scsi(drive& target, std::span<const std::uint8_t> cdb, data_direction direction,
                         std::span<std::uint8_t> data, const sat_settings& sat,
                         std::optional<std::uint64_t> time_limit_ms) {
    const auto format = sat.format;
    if (cdb.empty()) {
        return illegal(invalid_command_opcode, format);
    }
    if (const auto block = decode_ata_passthrough(cdb)) {
        if (sat.kind == sat_kind::none) {
            return refused(illegal(invalid_command_opcode, format), "sat_layer");
        }
        return ata_passthrough(target, *block, direction, data, sat, time_limit_ms);
    }
    switch (cdb[0]) {
    case 0x00: // TEST UNIT READY
        return {};
    case 0x12:
        return inquiry(target, cdb, direction, data, format);
    default:
        return illegal(invalid_command_opcode, format);
    }
}

} // namespace winsim
