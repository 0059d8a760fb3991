// Command lines as Windows builds and splits them.
#include "command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

using winapi_host::build_command_line;
using winapi_host::split_command_line;
using args = std::vector<std::wstring>;

TEST(command_line_splitting, follows_the_documented_quote_and_backslash_rules) {
    // 2n backslashes before a quote: n backslashes, and the quote opens or closes.
    EXPECT_EQ(split_command_line(LR"(p a\\\\"b c" d)"), (args{L"p", LR"(a\\b c)", L"d"}));
    // 2n+1 backslashes before a quote: n backslashes and a literal quote.
    EXPECT_EQ(split_command_line(LR"(p a\\\"b c d)"), (args{L"p", LR"(a\"b)", L"c", L"d"}));
    // Backslashes not before a quote are literal.
    EXPECT_EQ(split_command_line(LR"(p a\\\b d"e f"g h)"),
              (args{L"p", LR"(a\\\b)", L"de fg", L"h"}));
    EXPECT_EQ(split_command_line(L"p \"abc\" d e"), (args{L"p", L"abc", L"d", L"e"}));
    // Blanks and tabs separate; runs of them count once; trailing ones add nothing.
    EXPECT_EQ(split_command_line(L"p  a\t\tb  "), (args{L"p", L"a", L"b"}));
    EXPECT_EQ(split_command_line(L"p \"\""), (args{L"p", L""}));
}

TEST(command_line_splitting, the_program_name_ends_at_a_quote_or_blank_without_escapes) {
    EXPECT_EQ(split_command_line(LR"("C:\Program Files\a.exe" x)"),
              (args{LR"(C:\Program Files\a.exe)", L"x"}));
    EXPECT_EQ(split_command_line(LR"(C:\dir\a\"b.exe x)"), (args{LR"(C:\dir\a\"b.exe)", L"x"}));
    // A leading blank makes the program name empty.
    EXPECT_EQ(split_command_line(L" x y"), (args{L"", L"x", L"y"}));
}

TEST(command_line_building, quotes_every_argument_so_splitting_gives_it_back) {
    const args original = {L"/path/to/prog",
                           L"plain",
                           L"two words",
                           L"",
                           LR"(\\.\PhysicalDrive0)",
                           LR"(ends\)",
                           LR"(ends with space\ )",
                           LR"(a"b)",
                           LR"(a\"b)",
                           LR"(\\"\\)",
                           L"tab\there",
                           L"/D:fw.LOD"};
    EXPECT_EQ(split_command_line(build_command_line(original)), original);
    EXPECT_EQ(split_command_line(build_command_line({L"/my dir/prog", L"x"})),
              (args{L"/my dir/prog", L"x"}));
}

TEST(command_line_api, get_command_line_rebuilds_this_process_s_arguments) {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    args expected;
    for (std::size_t start = 0; start < raw.size();) {
        const auto end = raw.find('\0', start);
        expected.emplace_back(raw.begin() + static_cast<std::ptrdiff_t>(start),
                              raw.begin() + static_cast<std::ptrdiff_t>(end));
        start = end + 1;
    }
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    ASSERT_NE(argv, nullptr);
    ASSERT_EQ(count, static_cast<int>(expected.size()));
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(argv[i], expected[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(argv[count], nullptr);
    EXPECT_EQ(LocalFree(argv), nullptr);
}

TEST(command_line_api, an_empty_line_gives_the_program_path_and_a_missing_count_fails) {
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
