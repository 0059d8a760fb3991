#include "AtaDownloadCommand.h"
#include "CsmiRequests.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(MarliskAtaRequest, OneBlockAtItsOffsetWithSubcommand0E) {
    std::vector<BYTE> image(512, 0xA5);
    ATA_PASS_THROUGH_DIRECT ata{};
    std::memset(&ata, 0xFF, sizeof ata); // filled afresh: nothing of an earlier request stays
    FillAtaDownloadBlock(ata, image.data(), 0x1234);
    EXPECT_EQ(ata.Length, sizeof(ATA_PASS_THROUGH_DIRECT));
    EXPECT_EQ(ata.AtaFlags, 5);
    EXPECT_EQ(ata.PathId | ata.TargetId | ata.Lun | ata.ReservedAsUchar, 0);
    EXPECT_EQ(ata.DataTransferLength, 512u);
    EXPECT_EQ(ata.TimeOutValue, 60u);
    EXPECT_EQ(ata.ReservedAsUlong, 0u);
    EXPECT_EQ(ata.DataBuffer, image.data());
    const BYTE expected[8] = {0x0E, 0x01, 0x00, 0x34, 0x12, 0x00, 0x92, 0x00};
    EXPECT_EQ(std::memcmp(ata.CurrentTaskFile, expected, 8), 0);
    const BYTE zeros[8] = {};
    EXPECT_EQ(std::memcmp(ata.PreviousTaskFile, zeros, 8), 0);
}

TEST(MarliskCsmiRequest, SasAddressesTravelMostSignificantByteFirst) {
    UCHAR bytes[8] = {};
    SasAddressBytes(0x1122334455667788ull, bytes);
    const UCHAR expected[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    EXPECT_EQ(std::memcmp(bytes, expected, 8), 0);
    EXPECT_EQ(SasAddressFromBytes(expected), 0x1122334455667788ull);
}

TEST(MarliskCsmiRequest, DownloadBlockCarriesTheRegisterFisAndTheBlock) {
    std::vector<BYTE> image(512);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<BYTE>(i);
    }
    CGlobalBlock block(kStpBlockSize);
    ASSERT_TRUE(block.IsValid());
    FillStpDownloadBlock(block, 0x07, 0x5000C50000000004ull, image.data(), 0x0102);
    const BYTE* p = block.Data();
    IOCTL_HEADER header{};
    std::memcpy(&header, p, sizeof header);
    EXPECT_EQ(header.HeaderLength, 28u);
    EXPECT_EQ(std::memcmp(header.Signature, "CSMISAS", 8), 0);
    EXPECT_EQ(header.Timeout, 60u);
    EXPECT_EQ(header.ControlCode, 25u);
    EXPECT_EQ(header.Length, 652u);
    CSMI_SAS_STP_PASSTHRU parameters{};
    std::memcpy(&parameters, p + 28, sizeof parameters);
    EXPECT_EQ(parameters.bPhyIdentifier, 0);
    EXPECT_EQ(parameters.bPortIdentifier, 0x07);
    EXPECT_EQ(parameters.bConnectionRate, 0);
    const UCHAR address[8] = {0x50, 0x00, 0xC5, 0x00, 0x00, 0x00, 0x00, 0x04};
    EXPECT_EQ(std::memcmp(parameters.bDestinationSASAddress, address, 8), 0);
    EXPECT_EQ(parameters.uFlags, 0x12u);
    EXPECT_EQ(parameters.uDataLength, 512u);
    const BYTE fis[20] = {0x27, 0x80, 0x92, 0x0E, 0x00, 0x02, 0x01, 0x00, 0, 0,
                          0,    0,    0x01, 0x00, 0,    0,    0,    0,    0, 0};
    EXPECT_EQ(std::memcmp(parameters.bCommandFIS, fis, 20), 0);
    EXPECT_EQ(std::memcmp(p + kStpDataOffset, image.data(), 512), 0);
}

TEST(MarliskCsmiRequest, RaidConfigAsksForSetZeroInA1152ByteBlock) {
    CGlobalBlock block(kRaidConfigBlockSize);
    std::memset(block.Data(), 0xFF, block.Size());
    FillRaidConfigRequest(block);
    IOCTL_HEADER header{};
    std::memcpy(&header, block.Data(), sizeof header);
    EXPECT_EQ(std::memcmp(header.Signature, "CSMIARY", 8), 0);
    EXPECT_EQ(header.ControlCode, 11u);
    EXPECT_EQ(header.Length, 1124u);
    for (DWORD i = sizeof header; i < block.Size(); ++i) {
        ASSERT_EQ(block.Data()[i], 0) << i;
    }
}

TEST(MarliskCsmiRequest, ControllerPathsAreScsiNColon) {
    WCHAR szPath[260] = {};
    FormatControllerPath(2, szPath, 260);
    EXPECT_STREQ(szPath, L"\\\\.\\SCSI2:");
}

} // namespace
