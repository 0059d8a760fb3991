#include "download/download_plan.h"

#include "download/download_request.h"

namespace skelder {

namespace {

constexpr int64_t uncut_transfer_cap = 0x800000; // 8 MiB
constexpr int64_t max_16bit = 0xFFFF;

int64_t transfer_size_for(int64_t image_size, uint8_t subcommand, uint8_t segment_blocks) {
    if (subcommand == dm_whole_immediate) {
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
    // The activate command carries no data and a block count of 0: the drive switches to what
    // it holds, whatever the image's size.
    if (subcommand == dm_activate) {
        plan = {0, 0, 1, 0};
        return true;
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

uint32_t largest_request(request_limit limit) {
    uint64_t largest = 0xFFFFFFFFu;
    if (limit.max_transfer_length != 0) {
        largest = limit.max_transfer_length;
    }
    if (limit.max_physical_pages != 0) {
        const uint64_t in_pages = uint64_t{limit.max_physical_pages} * 4096;
        largest = in_pages < largest ? in_pages : largest;
    }
    return static_cast<uint32_t>(largest);
}

bool plan_fits(const download_plan& plan, request_limit limit) {
    // The remainder is shorter than a full transfer.
    return plan.transfer_size <= largest_request(limit) && plan.remainder <= largest_request(limit);
}

uint32_t largest_fitting_segment(request_limit limit) {
    const uint32_t blocks = largest_request(limit) / block_size;
    return blocks < 255 ? blocks : 255;
}

} // namespace skelder
