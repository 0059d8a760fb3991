// SHA-256 of byte strings, for the trace's record of data sent to drives.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace winsim {

class sha256 {
public:
    sha256();
    void update(std::span<const std::uint8_t> data);
    std::array<std::uint8_t, 32> finish();

private:
    void block(const std::uint8_t* chunk);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0;
};

// Lower-case hexadecimal digest of the data.
std::string sha256_hex(std::span<const std::uint8_t> data);

} // namespace winsim
