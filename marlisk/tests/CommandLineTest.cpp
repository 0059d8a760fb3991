#include "DravHDDUpdateApp.h"

#include <gtest/gtest.h>

namespace {

class MarliskCommandLine : public ::testing::Test {
protected:
    BOOL Parse(const wchar_t* pszLine) {
        app.m_nRetryCount = 5;
        return app.ParseCommandLine(pszLine);
    }
    CDravHDDUpdateApp app;
};

TEST_F(MarliskCommandLine, QuotesAreRemovedFromTheTargetWhereverTheyStand) {
    ASSERT_TRUE(Parse(L"/T:\"\\\\?\\scsi#disk\"\"#x\""));
    EXPECT_STREQ(app.m_strTargetPath, L"\\\\?\\scsi#disk#x");
    EXPECT_EQ(app.m_dwParamFlags, PARAM_TARGET_PATH);
    EXPECT_STREQ(app.m_strFirmwareFile, L"VOKA0101.enc");
    EXPECT_EQ(app.m_nRetryCount, 5u);
    EXPECT_FALSE(app.m_bLogOutput);
}

TEST_F(MarliskCommandLine, CsmiPortTakesAnyBaseAndTheAddressIsHexadecimal) {
    ASSERT_TRUE(Parse(L"/c:2,1F"));
    EXPECT_EQ(app.m_nCsmiPort, 2u);
    EXPECT_EQ(app.m_ullSasAddress, 0x1Full);
    EXPECT_EQ(app.m_dwParamFlags, PARAM_CSMI_ADDRESS);
    ASSERT_TRUE(Parse(L"/C:0x10,ff"));
    EXPECT_EQ(app.m_nCsmiPort, 16u);
    EXPECT_EQ(app.m_ullSasAddress, 0xFFull);
    ASSERT_TRUE(Parse(L"/c:2"));
    EXPECT_EQ(app.m_nCsmiPort, 2u);
    EXPECT_EQ(app.m_ullSasAddress, 0ull);
    ASSERT_TRUE(Parse(L"/c:010,5000C50000000004"));
    EXPECT_EQ(app.m_nCsmiPort, 8u);
    EXPECT_EQ(app.m_ullSasAddress, 0x5000C50000000004ull);
}

TEST_F(MarliskCommandLine, RetryCountsTakeAnyBaseAndStopAt10000) {
    const struct {
        const wchar_t* pszValue;
        DWORD dwExpected;
    } cases[] = {{L"20000", 10000}, {L"0x10", 16}, {L"010", 8}, {L"abc", 0}, {L"", 0}, {L"7x", 7}};
    for (const auto& c : cases) {
        const std::wstring line = std::wstring(L"/t:x /r:") + c.pszValue;
        ASSERT_TRUE(Parse(line.c_str()));
        EXPECT_EQ(app.m_nRetryCount, c.dwExpected) << line.size();
    }
}

TEST_F(MarliskCommandLine, TokensSplitAtSpacesAndLaterOptionsWin) {
    ASSERT_TRUE(Parse(L"   /t:first    /d:a.bin /T:second /D:b.bin /LOG  "));
    EXPECT_STREQ(app.m_strTargetPath, L"second");
    EXPECT_STREQ(app.m_strFirmwareFile, L"b.bin");
    EXPECT_TRUE(app.m_bLogOutput);
    ASSERT_TRUE(Parse(L"/t: /c:1,2"));
    EXPECT_STREQ(app.m_strTargetPath, L"");
    EXPECT_EQ(app.m_dwParamFlags, PARAM_TARGET_PATH | PARAM_CSMI_ADDRESS);
}

TEST_F(MarliskCommandLine, LinesWithoutATargetOrWithAnUnknownTokenFail) {
    EXPECT_FALSE(Parse(L""));
    EXPECT_FALSE(Parse(L"   "));
    EXPECT_FALSE(Parse(L"/l"));
    EXPECT_FALSE(Parse(L"/d:fw.bin /r:3"));
    EXPECT_FALSE(Parse(L"/t:x /x"));
    EXPECT_FALSE(Parse(L"/t:x -l"));
    // What came before the unknown token stays set.
    EXPECT_FALSE(Parse(L"/l /t:x /x /r:9"));
    EXPECT_TRUE(app.m_bLogOutput);
    EXPECT_STREQ(app.m_strTargetPath, L"x");
    EXPECT_EQ(app.m_nRetryCount, 5u);
}

TEST_F(MarliskCommandLine, ValuesThatDoNotFitTheirBuffersFail) {
    const std::wstring fits(259, L'a');
    const std::wstring too_long(260, L'a');
    EXPECT_TRUE(Parse((L"/t:" + fits).c_str()));
    EXPECT_FALSE(Parse((L"/t:" + too_long).c_str()));
    // Quotes do not count: they are gone before the length is judged.
    EXPECT_TRUE(Parse((L"/t:\"" + fits + L"\"").c_str()));
    EXPECT_TRUE(Parse((L"/t:x /d:" + fits).c_str()));
    EXPECT_FALSE(Parse((L"/t:x /d:" + too_long).c_str()));
}

} // namespace
