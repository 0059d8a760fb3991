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
        : m_bytes(size <= UINT32_MAX ? new (std::nothrow) unsigned char[size]() : nullptr),
          m_size(m_bytes ? static_cast<uint32_t>(size) : 0) {}

    // False when the memory could not be had; then nothing may be read or written.
    bool allocated() const { return m_bytes != nullptr; }
    unsigned char* bytes() { return m_bytes.get(); }
    uint32_t size() const { return m_size; }

    // The request block at the start of the buffer.
    template <typename block> block& as() { return *reinterpret_cast<block*>(m_bytes.get()); }

private:
    std::unique_ptr<unsigned char[]> m_bytes;
    uint32_t m_size;
};

} // namespace skelder
