#pragma once
// A CSMI request whose size is known only at run time (the header, then the data): zero-filled
// when made, freed with its owner on every path.

#include <cstdint>
#include <memory>
#include <new>

namespace skelder {

class csmi_buffer {
public:
    // A size the request header cannot carry (above 32 bits) gets no memory.
    explicit csmi_buffer(uint64_t size)
        : bytes_(size <= UINT32_MAX ? new (std::nothrow) unsigned char[size]() : nullptr),
          size_(bytes_ ? static_cast<uint32_t>(size) : 0) {}

    // False when the memory could not be had; then nothing may be read or written.
    bool allocated() const { return bytes_ != nullptr; }
    unsigned char* bytes() { return bytes_.get(); }
    uint32_t size() const { return size_; }

    // The request block at the start of the buffer.
    template <typename block> block& as() { return *reinterpret_cast<block*>(bytes_.get()); }

private:
    std::unique_ptr<unsigned char[]> bytes_;
    uint32_t size_;
};

} // namespace skelder
