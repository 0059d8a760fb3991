#include "device/sat_cdb.h"

#include <string.h>

namespace skelder {

namespace {

constexpr UCHAR sat_pio_data_in = 4;
constexpr UCHAR sat_pio_data_out = 5;
constexpr UCHAR sat_non_data = 3;

constexpr UCHAR extend_bit = 0x01;
constexpr UCHAR byt_blok_t_length_count = 0x06; // length in blocks, in the sector count field
constexpr UCHAR t_dir_from_device = 0x08;
constexpr UCHAR ck_cond_bit = 0x20;

UCHAR sat_protocol(uint32_t protocol, uint32_t direction) {
    if (protocol == protocol_pio) {
        return direction == data_in ? sat_pio_data_in : sat_pio_data_out;
    }
    if (protocol == protocol_non_data) {
        return sat_non_data;
    }
    return 0; // no caller uses another protocol
}

} // namespace

UCHAR build_sat_cdb(const device_context& context, uint32_t direction, bool ck_cond,
                    UCHAR (&cdb)[16]) {
    memset(cdb, 0, sizeof(cdb));
    UCHAR byte1 = static_cast<UCHAR>(sat_protocol(context.protocol, direction) << 1);
    if (context.addressing == addressing_48bit) {
        byte1 |= extend_bit;
    }
    // A non-data command names no transfer length: a strict SAT layer checks T_LENGTH against
    // the data phase.
    UCHAR byte2 = context.protocol == protocol_non_data ? 0 : byt_blok_t_length_count;
    if (direction == data_in) {
        byte2 |= t_dir_from_device;
    }
    if (ck_cond) {
        byte2 |= ck_cond_bit;
    }

    const ata_registers& r = context.registers;
    if ((context.cdb_flags & cdb_flag_16_byte) != 0) {
        cdb[0] = 0x85;
        cdb[1] = byte1;
        cdb[2] = byte2;
        memcpy(&cdb[3], &r, sizeof(r));
        return 16;
    }
    cdb[0] = 0xA1;
    cdb[1] = byte1;
    cdb[2] = byte2;
    cdb[3] = r.features;
    cdb[4] = r.count;
    cdb[5] = r.lba_low;
    cdb[6] = r.lba_mid;
    cdb[7] = r.lba_high;
    cdb[8] = r.device;
    cdb[9] = r.command;
    return 12;
}

} // namespace skelder
