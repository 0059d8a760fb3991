#include "ControllerMode.h"

#include <gtest/gtest.h>

namespace {

TEST(MarliskControllerMode, DescriptionsGiveTheVendorAndModeCode) {
    const struct {
        const wchar_t* pszDescription;
        BYTE bCode;
    } cases[] = {
        {L"Standard SATA AHCI Controller", 0x11},
        {L"Standard Dual Channel PCI IDE Controller", 0x10},
        {L"Standard SATA RAID Controller", 0x10},
        {L"\u6A19\u6E96 SATA AHCI \u30B3\u30F3\u30C8\u30ED\u30FC\u30E9\u30FC", 0x11},
        {L"\u6A19\u6E96\u30C7\u30E5\u30A2\u30EB \u30C1\u30E3\u30CD\u30EB", 0x10},
        {L"Intel(R) ICH8 SATA Controller", 0x20},
        {L"Intel(R) 8 Series SATA AHCI Controller", 0x21},
        {L"Intel(R) SATA RAID Controller", 0x22},
        {L"Intel(R) AHCI and RAID Controller", 0x21},
        {L"NVIDIA nForce Serial ATA Controller", 0x30},
        {L"NVIDIA nForce RAID Controller", 0x31},
        {L"NVIDIA nForce AHCI Controller", 0x31},
        {L"AMD SATA AHCI Controller", 0x00},
        {L"intel AHCI", 0x00},
        {L"Intel ahci", 0x20},
        {L"", 0x00},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyControllerDescription(c.pszDescription), c.bCode)
            << static_cast<int>(c.bCode);
    }
}

TEST(MarliskControllerMode, AhciAndRaidCodesOfEveryVendorPass) {
    for (int code = 0; code < 0x100; ++code) {
        const bool expected = code == 0x11 || code == 0x12 || code == 0x21 || code == 0x22 ||
                              code == 0x31 || code == 0x32;
        EXPECT_EQ(IsAhciOrRaidMode(static_cast<BYTE>(code)), expected) << code;
    }
}

TEST(MarliskWindowsPE, OnlyTheXDriveCounts) {
    ::setenv("SystemDrive", "x:", 1);
    EXPECT_TRUE(IsWindowsPE());
    ::setenv("SystemDrive", "X:", 1);
    EXPECT_TRUE(IsWindowsPE());
    ::setenv("SystemDrive", "C:", 1);
    EXPECT_FALSE(IsWindowsPE());
    ::setenv("SystemDrive", "X:\\", 1);
    EXPECT_FALSE(IsWindowsPE());
    ::setenv("SystemDrive", std::string(300, 'X').c_str(), 1);
    EXPECT_FALSE(IsWindowsPE());
    ::unsetenv("SystemDrive");
    EXPECT_FALSE(IsWindowsPE());
}

} // namespace
