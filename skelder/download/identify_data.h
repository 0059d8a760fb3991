#pragma once
// Little-endian words of the 512-byte IDENTIFY DEVICE data and the log page.

#include <ata.h>

#include <cstdint>

namespace skelder {

inline uint16_t identify_word(const unsigned char* data, unsigned word) {
    return static_cast<uint16_t>(data[2 * word] | data[2 * word + 1] << 8);
}

// Whether the buffer holds data a drive sent. A bridge or RAID driver can complete the command
// with a good status and move nothing: the buffer is then still all zero. Word 255 with the
// A5h signature carries a checksum that makes the 512 bytes sum to 0; a wrong one means the
// data did not arrive whole (or was patched without fixing it).
inline bool identify_data_arrived(const unsigned char* data) {
    unsigned sum = 0;
    bool any = false;
    for (unsigned i = 0; i < 512; ++i) {
        sum += data[i];
        any = any || data[i] != 0;
    }
    return any && (data[2 * ATA_ID_INTEGRITY] != ATA_ID_INTEGRITY_SIGNATURE || (sum & 0xFF) == 0);
}

inline uint64_t log_qword(const unsigned char* data, unsigned qword) {
    uint64_t value = 0;
    for (unsigned i = 8; i-- > 0;) {
        value = value << 8 | data[8 * qword + i];
    }
    return value;
}

} // namespace skelder
