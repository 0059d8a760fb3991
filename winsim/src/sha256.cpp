// SHA-256 as FIPS 180-4 defines it.
#include <winsim/sha256.h>

#include <cstring>

namespace winsim {
namespace {

constexpr std::array<std::uint32_t, 64> round_constants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

} // namespace

sha256::sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void sha256::block(const std::uint8_t* chunk) {
    std::array<std::uint32_t, 64> w{};
    for (int i = 0; i < 16; ++i) {
        w[i] = static_cast<std::uint32_t>(chunk[4 * i]) << 24 |
               static_cast<std::uint32_t>(chunk[4 * i + 1]) << 16 |
               static_cast<std::uint32_t>(chunk[4 * i + 2]) << 8 |
               static_cast<std::uint32_t>(chunk[4 * i + 3]);
    }
    for (int i = 16; i < 64; ++i) {
        const auto s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const auto s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    auto [a, b, c, d, e, f, g, h] = state_;
    for (int i = 0; i < 64; ++i) {
        const auto s1 = rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25);
        const auto choose = (e & f) ^ (~e & g);
        const auto t1 = h + s1 + choose + round_constants[i] + w[i];
        const auto s0 = rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22);
        const auto majority = (a & b) ^ (a & c) ^ (b & c);
        const auto t2 = s0 + majority;
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
    state_[4] += e;
    state_[5] += f;
    state_[6] += g;
    state_[7] += h;
}

void sha256::update(std::span<const std::uint8_t> data) {
    if (data.empty()) {
        return; // an empty span may have no data pointer
    }
    length_ += data.size();
    std::size_t at = 0;
    if (buffered_ > 0) {
        const auto take = std::min(data.size(), buffer_.size() - buffered_);
        std::memcpy(buffer_.data() + buffered_, data.data(), take);
        buffered_ += take;
        at = take;
        if (buffered_ < buffer_.size()) {
            return;
        }
        block(buffer_.data());
        buffered_ = 0;
    }
    for (; at + 64 <= data.size(); at += 64) {
        block(data.data() + at);
    }
    if (data.size() > at) { // an empty span may have no data pointer
        std::memcpy(buffer_.data(), data.data() + at, data.size() - at);
    }
    buffered_ = data.size() - at;
}

std::array<std::uint8_t, 32> sha256::finish() {
    const std::uint64_t bits = length_ * 8;
    const std::uint8_t one = 0x80;
    update(std::span(&one, 1));
    const std::uint8_t zero = 0;
    while (buffered_ != 56) {
        update(std::span(&zero, 1));
    }
    std::array<std::uint8_t, 8> tail{};
    for (int i = 0; i < 8; ++i) {
        tail[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    }
    update(tail);
    std::array<std::uint8_t, 32> digest{};
    for (int i = 0; i < 8; ++i) {
        for (int k = 0; k < 4; ++k) {
            digest[4 * i + k] = static_cast<std::uint8_t>(state_[i] >> (24 - 8 * k));
        }
    }
    return digest;
}

std::string sha256_hex(std::span<const std::uint8_t> data) {
    sha256 hash;
    hash.update(data);
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (auto byte : hash.finish()) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

} // namespace winsim
