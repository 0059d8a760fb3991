// The C runtime's streams as Windows programs see them: text-mode files.
#include "conformance.h"

#include <stdio.h>
#include <windows.h>

#include <gtest/gtest.h>

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

TEST(text_streams, a_reopened_text_stream_writes_crlf_and_a_binary_one_does_not) {
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

} // namespace
