#pragma once
// What a SAT layer's sense data says about an ATA PASS-THROUGH command: the sense key, the
// additional sense code and, where it is there, the ATA status the drive returned.

#include <windows.h>

#include <cstddef>

namespace skelder {

inline constexpr UCHAR sense_key_no_sense = 0x00;
inline constexpr UCHAR sense_key_recovered_error = 0x01;
inline constexpr UCHAR sense_key_illegal_request = 0x05;
inline constexpr UCHAR asc_invalid_command_operation_code = 0x20;
inline constexpr UCHAR asc_invalid_field_in_cdb = 0x24;

struct sat_sense {
    UCHAR key = 0;
    UCHAR asc = 0;
    UCHAR ascq = 0;
    bool has_ata_status = false; // an ATA Status Return descriptor, or fixed format 00h/1Dh
    UCHAR ata_status = 0;
};

// Reads fixed (70h/71h) or descriptor (72h/73h) sense data of `length` bytes; anything else
// reads as an empty key with no ATA status.
sat_sense read_sat_sense(const UCHAR* sense, size_t length);

} // namespace skelder
