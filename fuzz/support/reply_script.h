#pragma once
// The fuzz input as a stream of small reads. Reads past the end give zeros, so every run
// ends in the answers a dead driver gives once the input is used up.

#include <cstddef>
#include <cstdint>

namespace fuzz {

class reply_script {
public:
    void reset(const uint8_t* data, size_t size);

    bool exhausted() const { return position_ >= size_; }
    size_t remaining() const { return exhausted() ? 0 : size_ - position_; }

    uint8_t byte();
    uint16_t word();  // little-endian
    uint32_t dword(); // little-endian
    // Copies up to count bytes into target; returns how many there were.
    size_t copy(uint8_t* target, size_t count);

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t position_ = 0;
};

// The script the scripted driver answers from.
reply_script& driver_script();

} // namespace fuzz
