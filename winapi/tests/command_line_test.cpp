// Command lines as Windows splits them.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using args = std::vector<std::wstring>;

args split(const std::wstring& line) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
    args result;
    for (int i = 0; argv != nullptr && i < count; ++i) {
        result.emplace_back(argv[i]);
    }
    LocalFree(argv);
    return result;
}

TEST(CommandLineSplitting, FollowsTheDocumentedQuoteAndBackslashRules) {
    // 2n backslashes before a quote: n backslashes, and the quote opens or closes.
    EXPECT_EQ(split(LR"(p a\\\\"b c" d)"), (args{L"p", LR"(a\\b c)", L"d"}));
    // 2n+1 backslashes before a quote: n backslashes and a literal quote.
    EXPECT_EQ(split(LR"(p a\\\"b c d)"), (args{L"p", LR"(a\"b)", L"c", L"d"}));
    // Backslashes not before a quote are literal.
    EXPECT_EQ(split(LR"(p a\\\b d"e f"g h)"), (args{L"p", LR"(a\\\b)", L"de fg", L"h"}));
    EXPECT_EQ(split(L"p \"abc\" d e"), (args{L"p", L"abc", L"d", L"e"}));
    // Blanks and tabs separate; runs of them count once; trailing ones add nothing.
    EXPECT_EQ(split(L"p  a\t\tb  "), (args{L"p", L"a", L"b"}));
    EXPECT_EQ(split(L"p \"\""), (args{L"p", L""}));
}

TEST(CommandLineSplitting, TheProgramNameEndsAtAQuoteOrBlankWithoutEscapes) {
    EXPECT_EQ(split(LR"("C:\Program Files\a.exe" x)"), (args{LR"(C:\Program Files\a.exe)", L"x"}));
    EXPECT_EQ(split(LR"(C:\dir\a\"b.exe x)"), (args{LR"(C:\dir\a\"b.exe)", L"x"}));
    // A leading blank makes the program name empty.
    EXPECT_EQ(split(L" x y"), (args{L"", L"x", L"y"}));
}

TEST(CommandLineApi, GetCommandLineSplitsIntoThisProcessSArguments) {
    const auto& expected = testing::internal::GetArgvs();
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    ASSERT_NE(argv, nullptr);
    ASSERT_EQ(count, static_cast<int>(expected.size()));
    for (int i = 0; i < count; ++i) {
        const auto& arg = expected[static_cast<std::size_t>(i)];
        EXPECT_EQ(argv[i], std::wstring(arg.begin(), arg.end()));
    }
    EXPECT_EQ(argv[count], nullptr);
    EXPECT_EQ(LocalFree(argv), nullptr);
}

TEST(CommandLineApi, AnEmptyLineGivesTheProgramPathAndAMissingCountFails) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(L"", &count);
    ASSERT_NE(argv, nullptr);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(std::wstring(argv[0]).rfind(L"Z:\\", 0), 0u);
    LocalFree(argv);
    SetLastError(0);
    EXPECT_EQ(CommandLineToArgvW(L"a b", nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

} // namespace
