#pragma once
// Little-endian words of the 512-byte IDENTIFY DEVICE data and the log page.

#include <cstdint>

namespace skelder {

inline uint16_t identify_word(const unsigned char* data, unsigned word) {
    return static_cast<uint16_t>(data[2 * word] | data[2 * word + 1] << 8);
}

inline uint64_t log_qword(const unsigned char* data, unsigned qword) {
    uint64_t value = 0;
    for (unsigned i = 8; i-- > 0;) {
        value = value << 8 | data[8 * qword + i];
    }
    return value;
}

} // namespace skelder
