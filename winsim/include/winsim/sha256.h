// SHA-256 of byte strings, for the trace's record of data sent to drives. The platform's
// own implementation does the work (OpenSSL's libcrypto on the host, CNG on Windows): it
// runs on every byte of every transfer, so an unoptimised build of a hand-written one
// cost most of a large update's run time.
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
    ~sha256();
    sha256(const sha256&) = delete;
    sha256& operator=(const sha256&) = delete;

    void update(std::span<const std::uint8_t> data);
    std::array<std::uint8_t, 32> finish();

private:
    void* context_; // the platform's hash state
};

// Lower-case hexadecimal digest of the data.
std::string sha256_hex(std::span<const std::uint8_t> data);

} // namespace winsim
