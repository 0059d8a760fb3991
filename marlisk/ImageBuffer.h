// The firmware image in memory: the whole file, its last partial block padded with zeros to
// 512 bytes (the drive counts microcode in 512-byte blocks).
#pragma once

#include <windows.h>

#include <vector>

constexpr DWORD kBlockSize = 512;
// Block offsets travel in 16 bits: block 65535 is the last one that can be addressed.
constexpr ULONGLONG kMaxImageBlocks = 65536;

struct ImageBuffer {
    std::vector<BYTE> bytes; // size rounded up to whole blocks
    DWORD dwSize = 0;        // the file's size in bytes

    DWORD FullBlocks() const { return dwSize / kBlockSize; }
    DWORD Remainder() const { return dwSize % kBlockSize; }
    const BYTE* Block(DWORD dwIndex) const { return bytes.data() + dwIndex * kBlockSize; }
};

// True when an image of this size fits the 16-bit block offsets once its last partial block
// is padded.
inline bool FitsBlockOffsets(ULONGLONG ullSize) {
    return (ullSize + kBlockSize - 1) / kBlockSize <= kMaxImageBlocks;
}
