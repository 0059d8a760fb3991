#include "download/download_plan.h"

#include "download/download_request.h"

namespace skelder {

namespace {

constexpr int64_t uncut_transfer_cap = 0x800000; // 8 MiB
constexpr int64_t max_16bit = 0xFFFF;

int64_t transfer_size_for(int64_t image_size, uint8_t subcommand, uint8_t segment_blocks) {
    if (subcommand == dm_whole_immediate || subcommand == dm_activate) {
        return image_size;
    }
    if (segment_blocks == 0) {
        return image_size < uncut_transfer_cap ? image_size : uncut_transfer_cap;
    }
    return int64_t{segment_blocks} * block_size;
}

} // namespace

bool make_download_plan(int64_t image_size, uint8_t subcommand, uint8_t segment_blocks,
                        download_plan& plan) {
    if (image_size <= 0 || image_size % block_size != 0) {
        return false;
    }
    const int64_t transfer_size = transfer_size_for(image_size, subcommand, segment_blocks);
    const int64_t blocks_per_transfer = transfer_size / block_size;
    if (blocks_per_transfer > max_16bit) {
        return false;
    }
    const int64_t transfers = image_size / transfer_size;
    const int64_t remainder = image_size % transfer_size;
    // Offset of the last command sent: the remainder's, or the last full transfer's.
    const int64_t last_offset = (remainder != 0 ? transfers : transfers - 1) * blocks_per_transfer;
    if (last_offset > max_16bit) {
        return false;
    }
    plan.transfer_size = static_cast<uint32_t>(transfer_size);
    plan.blocks_per_transfer = static_cast<uint16_t>(blocks_per_transfer);
    plan.transfers = static_cast<uint32_t>(transfers);
    plan.remainder = static_cast<uint32_t>(remainder);
    return true;
}

} // namespace skelder
