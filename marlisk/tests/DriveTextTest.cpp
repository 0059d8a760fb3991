#include "DriveDiscovery.h"
#include "FirmwareImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::wstring Trimmed(const wchar_t* pszText, int nCapacity = 16) {
    WCHAR buffer[16] = {};
    std::wcsncpy(buffer, pszText, 15);
    TrimSpaces(buffer, nCapacity);
    return buffer;
}

// IDENTIFY data with a text stored as ATA strings: high byte of each word first.
void PutText(BYTE* pIdentify, int nFirstWord, const char* pszText, int nWords) {
    for (int i = 0; i < nWords * 2; ++i) {
        const size_t length = std::strlen(pszText);
        const char ch = static_cast<size_t>(i) < length ? pszText[i] : ' ';
        pIdentify[nFirstWord * 2 + (i ^ 1)] = static_cast<BYTE>(ch);
    }
}

void PutWord(BYTE* pIdentify, int nWord, WORD wValue) {
    pIdentify[nWord * 2] = static_cast<BYTE>(wValue & 0xFF);
    pIdentify[nWord * 2 + 1] = static_cast<BYTE>(wValue >> 8);
}

TEST(MarliskTrimSpaces, RemovesOnlyBlanksAtBothEnds) {
    EXPECT_EQ(Trimmed(L"  KX20  "), L"KX20");
    EXPECT_EQ(Trimmed(L"A B"), L"A B");
    EXPECT_EQ(Trimmed(L"\tA "), L"\tA");
    EXPECT_EQ(Trimmed(L"    "), L" "); // a text of blanks keeps one
    EXPECT_EQ(Trimmed(L""), L"");
}

TEST(MarliskIdentifyTexts, WordsReadHighByteFirstAndAreTrimmed) {
    BYTE identify[512] = {};
    PutText(identify, 10, "  DV2000B0000001", 10);
    PutText(identify, 23, "KX20B001", 4);
    PutText(identify, 27, "   DRAVONI KX2000", 20);
    PutWord(identify, 128, 0x0003);
    PutWord(identify, 234, 0x0001);
    PutWord(identify, 235, 0x0080);
    const HDD_INFO info = MakeHddInfo(identify, L"\\\\?\\disk");
    EXPECT_STREQ(info.szSerialNo, L"DV2000B0000001");
    EXPECT_STREQ(info.szFwRevision, L"KX20B001");
    EXPECT_STREQ(info.szModel, L"DRAVONI KX2000");
    EXPECT_STREQ(info.szDevicePath, L"\\\\?\\disk");
    EXPECT_EQ(info.wSecurityStatus, 0x0003);
    EXPECT_EQ(info.wDlMinBlocks, 1);
    EXPECT_TRUE(info.bDlOffsetsSupported);
    EXPECT_TRUE(IsTargetModel(info.szModel));
    EXPECT_FALSE(IsTargetModel(L"Dravoni KX2000"));
    EXPECT_FALSE(IsTargetModel(L"DRAVONI K"));
}

TEST(MarliskIdentifyTexts, OffsetsDownloadNeedsAWordOtherThanZeroOrAllOnes) {
    BYTE identify[512] = {};
    PutWord(identify, 234, 0xFFFF);
    EXPECT_FALSE(MakeHddInfo(identify, L"p").bDlOffsetsSupported);
    PutWord(identify, 235, 0x0010);
    EXPECT_TRUE(MakeHddInfo(identify, L"p").bDlOffsetsSupported);
}

TEST(MarliskRevisionName, IsTheNameBeforeItsLastPointCutTo17Characters) {
    EXPECT_EQ(GetRevisionName(L"VOKA0101.enc"), L"VOKA0101");
    EXPECT_EQ(GetRevisionName(L"fw.v2.bin"), L"fw.v2");
    EXPECT_EQ(GetRevisionName(L"KX20B002"), L"KX20B002");
    EXPECT_EQ(GetRevisionName(L"dir\\sub\\KX.enc"), L"dir\\sub\\KX");
    EXPECT_EQ(GetRevisionName(L"C:\\firmware\\updates\\KX20B002.enc"), L"C:\\firmware\\updat");
}

} // namespace
