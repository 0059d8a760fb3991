#include "device/sat_cdb.h"

#include <ata.h>
#include <string.h>

namespace skelder {

namespace {

constexpr UCHAR sat_pio_data_in = SAT_PROTOCOL_PIO_DATA_IN;
constexpr UCHAR sat_pio_data_out = SAT_PROTOCOL_PIO_DATA_OUT;
constexpr UCHAR sat_non_data = SAT_PROTOCOL_NON_DATA;

constexpr UCHAR extend_bit = SAT_EXTEND;
constexpr UCHAR byt_blok_t_length_count =
    SAT_BYT_BLOK | SAT_T_LENGTH_COUNT; // length in blocks, in the sector count field
constexpr UCHAR t_dir_from_device = SAT_T_DIR_IN;
constexpr UCHAR ck_cond_bit = SAT_CK_COND;

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
    UCHAR byte1 =
        static_cast<UCHAR>(sat_protocol(context.protocol, direction) << SAT_PROTOCOL_SHIFT);
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
        cdb[SAT16_OPERATION_CODE] = SAT_ATA_PASS_THROUGH_16;
        cdb[SAT16_PROTOCOL] = byte1;
        cdb[SAT16_FLAGS] = byte2;
        memcpy(&cdb[SAT16_FEATURES_EXT], &r, sizeof(r));
        return 16;
    }
    cdb[SAT12_OPERATION_CODE] = SAT_ATA_PASS_THROUGH_12;
    cdb[SAT12_PROTOCOL] = byte1;
    cdb[SAT12_FLAGS] = byte2;
    cdb[SAT12_FEATURES] = r.features;
    cdb[SAT12_COUNT] = r.count;
    cdb[SAT12_LBA_LOW] = r.lba_low;
    cdb[SAT12_LBA_MID] = r.lba_mid;
    cdb[SAT12_LBA_HIGH] = r.lba_high;
    cdb[SAT12_DEVICE] = r.device;
    cdb[SAT12_COMMAND] = r.command;
    return 12;
}

} // namespace skelder
