#pragma once
// How an image is cut into DOWNLOAD MICROCODE transfers.

#include <cstdint>

namespace skelder {

inline constexpr uint32_t block_size = 512;

struct download_plan {
    uint32_t transfer_size;       // bytes per full transfer
    uint16_t blocks_per_transfer; // transfer size in blocks
    uint32_t transfers;           // number of full transfers
    uint32_t remainder;           // bytes of the last, shorter transfer (0: none)
};

// Plans the transfers of an image of `image_size` bytes. Returns false when the image
// cannot be described on the wire: empty, not a multiple of 512 bytes, or a block count or
// block offset that does not fit 16 bits. The activate subcommand is always one command
// whose block count is that of the whole image.
bool make_download_plan(int64_t image_size, uint8_t subcommand, uint8_t segment_blocks,
                        download_plan& plan);

} // namespace skelder
