// How an image is cut into DOWNLOAD MICROCODE commands (subcommand 0x0E). Both buses send fixed
// chunks from offset 0 on; they differ only in the chunk size.
#pragma once

#include <windows.h>
#include <ata.h>

constexpr DWORD MICROCODE_BLOCK_BYTES = 512;

struct MicrocodeChunk {
    DWORD dwOffset;         // image byte where the chunk starts
    DWORD dwLength;         // image bytes in the chunk
    DWORD dwTransferLength; // bytes sent: dwLength rounded up to whole blocks
    WORD wBlockCount;       // Sector Count (7:0) and LBA Low (15:8)
    WORD wBlockOffset;      // LBA Mid (7:0) and LBA High (15:8)
};

// The chunk that starts at dwOffset (< dwImageLength). A final partial block is counted and
// goes to the drive padded with zeros.
MicrocodeChunk MicrocodeChunkAt(DWORD dwOffset, DWORD dwImageLength, DWORD dwChunkBytes);

// True when every chunk's block offset and block count fit their 16 bits on the wire; an image
// that fails this is refused before the first command.
bool FitsBlockAddressing(DWORD dwImageLength, DWORD dwChunkBytes);
