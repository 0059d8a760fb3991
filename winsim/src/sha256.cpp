#include <winsim/sha256.h>

#include <algorithm>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>

#include <bcrypt.h>
#else
#include <openssl/crypto.h>
#include <openssl/evp.h>
#endif

namespace winsim {

#ifdef _WIN32

namespace {

// One provider for the process: opening it is the costly part.
BCRYPT_ALG_HANDLE provider() {
    static const BCRYPT_ALG_HANDLE handle = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        if (!BCRYPT_SUCCESS(
                BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
            throw std::runtime_error("SHA-256 is not available");
        }
        return opened;
    }();
    return handle;
}

} // namespace

sha256::sha256() : context_(nullptr) {
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(provider(), &hash, nullptr, 0, nullptr, 0, 0))) {
        throw std::runtime_error("cannot start a SHA-256 hash");
    }
    context_ = hash;
}

sha256::~sha256() {
    BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(context_));
}

void sha256::update(std::span<const std::uint8_t> data) {
    // CNG takes at most 4 GiB - 1 a call.
    constexpr std::size_t most = 0x80000000u;
    for (std::size_t at = 0; at < data.size(); at += most) {
        const auto piece = data.subspan(at, std::min(most, data.size() - at));
        BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(context_), const_cast<PUCHAR>(piece.data()),
                       static_cast<ULONG>(piece.size()), 0);
    }
}

std::array<std::uint8_t, 32> sha256::finish() {
    std::array<std::uint8_t, 32> digest{};
    BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(context_), digest.data(),
                     static_cast<ULONG>(digest.size()), 0);
    return digest;
}

#else

namespace {

// The trace's exit record hashes each drive's image from an exit handler; libcrypto must
// not have cleaned itself up by then.
EVP_MD_CTX* new_context() {
    static const bool initialised = OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr) == 1;
    return initialised ? EVP_MD_CTX_new() : nullptr;
}

} // namespace

sha256::sha256() : context_(new_context()) {
    if (context_ == nullptr ||
        EVP_DigestInit_ex(static_cast<EVP_MD_CTX*>(context_), EVP_sha256(), nullptr) != 1) {
        EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(context_));
        throw std::runtime_error("cannot start a SHA-256 hash");
    }
}

sha256::~sha256() {
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(context_));
}

void sha256::update(std::span<const std::uint8_t> data) {
    EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(context_), data.data(), data.size());
}

std::array<std::uint8_t, 32> sha256::finish() {
    std::array<std::uint8_t, 32> digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(context_), digest.data(), &length);
    return digest;
}

#endif

std::string sha256_hex(std::span<const std::uint8_t> data) {
    sha256 hash;
    hash.update(data);
    std::string hex;
    hex.reserve(64);
    for (auto byte : hash.finish()) {
        static constexpr char digits[] = "0123456789abcdef";
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

} // namespace winsim
