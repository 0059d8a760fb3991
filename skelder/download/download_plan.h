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
// without data.
bool make_download_plan(int64_t image_size, uint8_t subcommand, uint8_t segment_blocks,
                        download_plan& plan);

// What an adapter carries in one request: at most `max_transfer_length` bytes (0: no limit), in
// at most `max_physical_pages` pages (0: no limit) of page-aligned memory.
struct request_limit {
    uint32_t max_transfer_length;
    uint32_t max_physical_pages;
};

// Bytes one request may carry under the limit (0xFFFFFFFF when there is none).
uint32_t largest_request(request_limit limit);

// Whether every command of the plan fits the limit, its data copied to page-aligned memory
// where it must be.
bool plan_fits(const download_plan& plan, request_limit limit);

// The largest segment size the segment option can give (255 blocks at most) whose commands fit
// the limit; 0 when none does.
uint32_t largest_fitting_segment(request_limit limit);

} // namespace skelder
