#include "DownloadPlan.h"

#include <algorithm>
#include <cstdint>

namespace {
std::uint64_t BlocksFor(std::uint64_t bytes) {
    return (bytes + MICROCODE_BLOCK_BYTES - 1) / MICROCODE_BLOCK_BYTES;
}
} // namespace

MicrocodeChunk MicrocodeChunkAt(DWORD dwOffset, DWORD dwImageLength, DWORD dwChunkBytes) {
    MicrocodeChunk chunk{};
    chunk.dwOffset = dwOffset;
    chunk.dwLength = std::min(dwChunkBytes, dwImageLength - dwOffset);
    const std::uint64_t blocks = BlocksFor(chunk.dwLength);
    chunk.dwTransferLength = static_cast<DWORD>(blocks * MICROCODE_BLOCK_BYTES);
    chunk.wBlockCount = static_cast<WORD>(blocks);
    chunk.wBlockOffset = static_cast<WORD>(dwOffset / MICROCODE_BLOCK_BYTES);
    return chunk;
}

bool FitsBlockAddressing(DWORD dwImageLength, DWORD dwChunkBytes) {
    if (dwImageLength == 0 || dwChunkBytes == 0) {
        return true;
    }
    if (BlocksFor(dwChunkBytes) > 0xFFFF) {
        return false;
    }
    const std::uint64_t lastChunkOffset =
        (static_cast<std::uint64_t>(dwImageLength) - 1) / dwChunkBytes * dwChunkBytes;
    return lastChunkOffset / MICROCODE_BLOCK_BYTES <= 0xFFFF;
}
