#include "DownloadPlan.h"

#include "SataBus.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr DWORD SATA_CHUNK = CSataBus::DOWNLOAD_CHUNK_BYTES;
constexpr DWORD CSMI_CHUNK = 2560;

std::vector<MicrocodeChunk> ChunksOf(DWORD dwLength, DWORD dwChunkBytes) {
    std::vector<MicrocodeChunk> chunks;
    for (DWORD dwOffset = 0; dwOffset < dwLength;) {
        chunks.push_back(MicrocodeChunkAt(dwOffset, dwLength, dwChunkBytes));
        dwOffset += chunks.back().dwLength;
    }
    return chunks;
}

TEST(NorrixDownloadPlan, SataChunkIs126Blocks) {
    EXPECT_EQ(SATA_CHUNK, 64512u);
    const auto one = ChunksOf(64512, SATA_CHUNK);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].wBlockCount, 126);
    EXPECT_EQ(one[0].wBlockOffset, 0);
    EXPECT_EQ(one[0].dwTransferLength, 64512u);

    const auto three = ChunksOf(3 * 64512, SATA_CHUNK);
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[1].wBlockOffset, 126);
    EXPECT_EQ(three[2].wBlockOffset, 252);
    EXPECT_EQ(three[2].dwOffset, 2u * 64512);
}

TEST(NorrixDownloadPlan, FinalPartialBlockIsPaddedAndCounted) {
    const auto chunks = ChunksOf(64513, SATA_CHUNK);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[1].dwOffset, 64512u);
    EXPECT_EQ(chunks[1].dwLength, 1u);
    EXPECT_EQ(chunks[1].dwTransferLength, 512u);
    EXPECT_EQ(chunks[1].wBlockCount, 1);
    EXPECT_EQ(chunks[1].wBlockOffset, 126);

    // A last chunk of several blocks and a bit.
    const auto tail = ChunksOf(64512 + 1025, SATA_CHUNK);
    EXPECT_EQ(tail[1].wBlockCount, 3);
    EXPECT_EQ(tail[1].dwTransferLength, 1536u);
}

TEST(NorrixDownloadPlan, CsmiChunkIsFiveBlocks) {
    const auto chunks = ChunksOf(5121, CSMI_CHUNK);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].wBlockOffset, 0);
    EXPECT_EQ(chunks[1].wBlockOffset, 5);
    EXPECT_EQ(chunks[2].wBlockOffset, 10);
    EXPECT_EQ(chunks[0].wBlockCount, 5);
    EXPECT_EQ(chunks[2].wBlockCount, 1);
    EXPECT_EQ(chunks[2].dwLength, 1u);
}

TEST(NorrixDownloadPlan, LastChunkMustStartAtBlock65535OrBelow) {
    // SATA: chunks start at multiples of 126 blocks; the last that fits starts at 65520.
    const DWORD sataMax = 65520u * 512 + SATA_CHUNK;
    EXPECT_TRUE(FitsBlockAddressing(sataMax, SATA_CHUNK));
    EXPECT_FALSE(FitsBlockAddressing(sataMax + 1, SATA_CHUNK));
    const auto last = MicrocodeChunkAt(65520u * 512, sataMax, SATA_CHUNK);
    EXPECT_EQ(last.wBlockOffset, 65520);

    // CSMI: multiples of 5 blocks; 65535 itself is one.
    const DWORD csmiMax = 65535u * 512 + CSMI_CHUNK;
    EXPECT_TRUE(FitsBlockAddressing(csmiMax, CSMI_CHUNK));
    EXPECT_FALSE(FitsBlockAddressing(csmiMax + 1, CSMI_CHUNK));

    EXPECT_FALSE(FitsBlockAddressing(0xFFFFFFFFu, SATA_CHUNK));
    EXPECT_TRUE(FitsBlockAddressing(1, SATA_CHUNK));
}

} // namespace
