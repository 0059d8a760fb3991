// The C runtime's streams as Windows programs see them: text-mode files and the printf
// conversions the programs use on wide and narrow text.
#include "conformance.h"

#include <stdio.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using conformance::windows_name;

std::string read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(TextStreams, AReopenedTextStreamWritesCrlfAndABinaryOneDoesNot) {
    const conformance::temp_dir dir;
    const auto text_path = dir / "text.log";
    const auto binary_path = dir / "binary.log";
    FILE* original = _wfopen(windows_name(dir / "first").c_str(), L"w");
    ASSERT_NE(original, nullptr);
    FILE* text = _wfreopen(windows_name(text_path).c_str(), L"w", original);
    ASSERT_NE(text, nullptr);
    std::fprintf(text, "a\nb\n%d\n", 7);
    std::fclose(text);
    EXPECT_EQ(read_bytes(text_path), "a\r\nb\r\n7\r\n");

    original = _wfopen(windows_name(dir / "second").c_str(), L"w");
    FILE* binary = _wfreopen(windows_name(binary_path).c_str(), L"wb", original);
    ASSERT_NE(binary, nullptr);
    std::fputs("a\nb\n", binary);
    std::fclose(binary);
    EXPECT_EQ(read_bytes(binary_path), "a\nb\n");

    // A file that cannot be created leaves the stream closed: writing to it fails.
    original = _wfopen(windows_name(dir / "third").c_str(), L"w");
    EXPECT_EQ(_wfreopen(windows_name(dir / "missing" / "x.log").c_str(), L"w", original), nullptr);
    EXPECT_EQ(std::fputs("closed", original), EOF);
}

template <typename... Args> std::string narrow_printf(const char* format, Args... args) {
    char buffer[64] = {};
    const int length = std::snprintf(buffer, sizeof buffer, format, args...);
    return length < 0 ? "<failed>" : std::string(buffer, static_cast<std::size_t>(length));
}

template <typename... Args> std::wstring wide_printf(const wchar_t* format, Args... args) {
    wchar_t buffer[64] = {};
    const int length = std::swprintf(buffer, 64, format, args...);
    return length < 0 ? L"<failed>" : std::wstring(buffer, static_cast<std::size_t>(length));
}

// The runtime starts in the "C" locale, where a wide character below 256 becomes the byte of
// that value (whatever the console's code page) and any other ends the conversion of its
// argument; the rest of the format is still printed.
TEST(PrintfConversions, OfWideTextInNarrowOutputFollowTheCLocale) {
    const struct {
        std::string got, expected;
    } rows[] = {
        {narrow_printf("%ls", L"fw\u00e9.LOD"), "fw\xE9.LOD"},
        {narrow_printf("%ls", L"\u0080\u00ff"), "\x80\xFF"},
        {narrow_printf("[%ls]<", L"fw\u03a9x.LOD"), "[fw]<"},
        {narrow_printf("[%lc]", static_cast<wint_t>(0xE9)), "[\xE9]"},
        {narrow_printf("[%lc]", static_cast<wint_t>(0x3A9)), "[]"},
        {narrow_printf("%.3ls|%-4ls|%4ls", L"fw\u00e9.LOD", L"ab", L"cd"), "fw\xE9|ab  |  cd"},
        {narrow_printf("%S", L"abc"), "abc"},
        {narrow_printf("%s|%hs|%c|%.2s|%-3s|", "ab", "cd", 'e', "fgh", "i"), "ab|cd|e|fg|i  |"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.got, row.expected);
    }
}

TEST(PrintfConversions, InWideOutputReadLsLcAndSAsWideAndHsAsNarrow) {
    EXPECT_EQ(wide_printf(L"%ls\\%ls", L"C:\\dir", L"fw\u00e9.bin"), L"C:\\dir\\fw\u00e9.bin");
    EXPECT_EQ(wide_printf(L"%lc%S|%hs", static_cast<wint_t>(0x3A9), L"x", "ab"), L"\u03a9x|ab");
}

} // namespace
