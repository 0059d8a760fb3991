#include "download/download_plan.h"

#include "download/download_request.h"

#include <gtest/gtest.h>

namespace skelder {
namespace {

constexpr int64_t kib = 1024;
constexpr int64_t mib = 1024 * kib;

download_plan plan_of(int64_t size, uint8_t subcommand, uint8_t segment_blocks) {
    download_plan plan{};
    EXPECT_TRUE(make_download_plan(size, subcommand, segment_blocks, plan)) << size;
    return plan;
}

bool refused(int64_t size, uint8_t subcommand, uint8_t segment_blocks) {
    download_plan plan{};
    return !make_download_plan(size, subcommand, segment_blocks, plan);
}

TEST(DownloadPlan, SegmentedImageCutsIntoSegmentsAndRemainder) {
    const download_plan whole = plan_of(mib, dm_segmented_immediate, 64);
    EXPECT_EQ(whole.transfer_size, 32768u);
    EXPECT_EQ(whole.blocks_per_transfer, 64);
    EXPECT_EQ(whole.transfers, 32);
    EXPECT_EQ(whole.remainder, 0u);

    const download_plan partial = plan_of(102400, dm_segmented_immediate, 64);
    EXPECT_EQ(partial.transfers, 3);
    EXPECT_EQ(partial.remainder, 4096u);

    const download_plan deferred = plan_of(mib, dm_segmented_deferred, 255);
    EXPECT_EQ(deferred.transfer_size, 130560u);
    EXPECT_EQ(deferred.blocks_per_transfer, 255);
}

TEST(DownloadPlan, WholeImageAndActivateAreOneCommand) {
    const download_plan whole = plan_of(mib, dm_whole_immediate, 64);
    EXPECT_EQ(whole.transfers, 1);
    EXPECT_EQ(whole.blocks_per_transfer, 2048);
    EXPECT_EQ(whole.transfer_size, uint32_t(mib));

    // The activate command carries no data and counts no blocks, whatever the image's size.
    for (const int64_t size : {mib, 16 * mib, 32 * mib}) {
        const download_plan activate = plan_of(size, dm_activate, 0);
        EXPECT_EQ(activate.transfers, 1);
        EXPECT_EQ(activate.blocks_per_transfer, 0);
        EXPECT_EQ(activate.transfer_size, 0u);
        EXPECT_EQ(activate.remainder, 0u);
    }
}

TEST(DownloadPlan, UncutTransfersWithoutSegmentSizeStopAt8MiB) {
    const download_plan plan = plan_of(9 * mib, dm_segmented_immediate, 0);
    EXPECT_EQ(plan.transfer_size, uint32_t(8 * mib));
    EXPECT_EQ(plan.transfers, 1);
    EXPECT_EQ(plan.remainder, uint32_t(mib));
}

TEST(DownloadPlan, RefusesImagesThatAreEmptyOrNotWholeBlocks) {
    EXPECT_TRUE(refused(0, dm_segmented_immediate, 64));
    EXPECT_TRUE(refused(0, dm_whole_immediate, 64));
    EXPECT_TRUE(refused(0, dm_activate, 0));
    EXPECT_TRUE(refused(-1, dm_whole_immediate, 64));
    EXPECT_TRUE(refused(1000, dm_segmented_immediate, 64));
    EXPECT_TRUE(refused(mib + 1, dm_whole_immediate, 64));
}

TEST(DownloadPlan, BlockCountMustFit16Bits) {
    const int64_t max_blocks = 0xFFFF;
    EXPECT_EQ(plan_of(max_blocks * 512, dm_whole_immediate, 64).blocks_per_transfer, 0xFFFF);
    EXPECT_TRUE(refused((max_blocks + 1) * 512, dm_whole_immediate, 64));
    // 4 GiB plus one block is never read as one block.
    EXPECT_TRUE(refused(4 * 1024 * mib + 512, dm_whole_immediate, 64));
}

TEST(DownloadPlan, BlockOffsetMustFit16Bits) {
    // One-block segments: 65536 transfers at offsets 0 to 65535 fit; one more does not.
    EXPECT_EQ(plan_of(65536 * 512, dm_segmented_immediate, 1).transfers, 65536u);
    EXPECT_TRUE(refused(65537 * 512, dm_segmented_immediate, 1));
    // A remainder sent at offset 65535 still fits; at 65790 it does not.
    EXPECT_EQ(plan_of(int64_t{257} * 255 * 512 + 512, dm_segmented_deferred, 255).remainder, 512u);
    EXPECT_TRUE(refused(int64_t{258} * 255 * 512 + 512, dm_segmented_deferred, 255));
    EXPECT_TRUE(refused(4 * 1024 * mib, dm_segmented_deferred, 255));
}

} // namespace
} // namespace skelder
