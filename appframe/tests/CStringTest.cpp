#include "appframe/CString.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<CString> AllTokens(const CString& text, const wchar_t* delimiters) {
    std::vector<CString> tokens;
    int iStart = 0;
    for (;;) {
        CString token = text.Tokenize(delimiters, iStart);
        if (iStart < 0) {
            EXPECT_TRUE(token.IsEmpty());
            return tokens;
        }
        tokens.push_back(token);
    }
}

TEST(AppframeCString, TokenizeSkipsLeadingAndRepeatedDelimiters) {
    const auto tokens = AllTokens(L"::t::\\\\.\\X:", L":");
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_STREQ(tokens[0], L"t");
    EXPECT_STREQ(tokens[1], L"\\\\.\\X");

    EXPECT_TRUE(AllTokens(L"", L":").empty());
    EXPECT_TRUE(AllTokens(L":::", L":").empty());
    EXPECT_EQ(AllTokens(L"a,b;c", L",;").size(), 3u);
}

TEST(AppframeCString, TokenizeFromAnOutOfRangeStartEnds) {
    int iStart = 10;
    EXPECT_TRUE(CString(L"abc").Tokenize(L":", iStart).IsEmpty());
    EXPECT_EQ(iStart, -1);
}

TEST(AppframeCString, PartsAndCase) {
    CString text(L"AbC:dEf");
    EXPECT_STREQ(text.Left(3), L"AbC");
    EXPECT_STREQ(text.Mid(4), L"dEf");
    EXPECT_STREQ(text.Mid(2, 3), L"C:d");
    EXPECT_TRUE(text.Mid(7).IsEmpty());
    EXPECT_TRUE(text.Left(-1).IsEmpty());
    EXPECT_EQ(text.GetAt(4), L'd');
    text.MakeLower();
    EXPECT_STREQ(text, L"abc:def");
    EXPECT_EQ(text.GetLength(), 7);
}

TEST(AppframeCString, FormatTakesWideStringsAndGrows) {
    CString path;
    path.Format(L"\\\\.\\Scsi%ls:", L"2");
    EXPECT_STREQ(path, L"\\\\.\\Scsi2:");

    const std::wstring longText(1000, L'x');
    CString big;
    big.Format(L"%ls|%d", longText.c_str(), 42);
    EXPECT_EQ(big.GetLength(), 1003);
    EXPECT_STREQ(big.Mid(1000), L"|42");
}

} // namespace
