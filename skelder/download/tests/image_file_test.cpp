#include "download/image_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace skelder {
namespace {

// A file of the host's temporary directory, under the name Windows code uses for it.
class TempImage {
public:
    explicit TempImage(std::uintmax_t size)
        : m_path(std::filesystem::temp_directory_path() /
                 ("skelder_image_" + std::to_string(::getpid()) + ".bin")) {
        std::ofstream(m_path, std::ios::binary).put('\x5A');
        std::filesystem::resize_file(m_path, size);
        for (const char c : m_path.string()) {
            m_windows_name += c == '/' ? L'\\' : static_cast<wchar_t>(c);
        }
        m_windows_name = L"Z:" + m_windows_name;
    }
    ~TempImage() { std::filesystem::remove(m_path); }

    const std::filesystem::path& path() const { return m_path; }
    const WCHAR* name() const { return m_windows_name.c_str(); }

private:
    std::filesystem::path m_path;
    std::wstring m_windows_name;
};

TEST(ImageFile, ReadsTheWholeFile) {
    TempImage image(2048);
    FILE* file = open_image(image.name());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(image_size(file), 2048);
    std::vector<unsigned char> bytes(2048, 0xFF);
    EXPECT_TRUE(read_image(file, bytes.data(), bytes.size()));
    EXPECT_EQ(bytes[0], 0x5A);
    EXPECT_EQ(bytes[2047], 0);
    fclose(file);
}

TEST(ImageFile, FileThatShrinksBeforeTheReadIsAShortRead) {
    // Larger than the runtime's read-ahead, so the loss is not hidden by its buffer.
    TempImage image(65536);
    FILE* file = open_image(image.name());
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(image_size(file), 65536);
    std::filesystem::resize_file(image.path(), 1000);
    std::vector<unsigned char> bytes(65536);
    EXPECT_FALSE(read_image(file, bytes.data(), bytes.size()));
    fclose(file);
}

TEST(ImageFile, SizeBeyond4GiBIsNotCutTo32Bits) {
    TempImage image((std::uintmax_t{4} << 30) + 512); // sparse
    FILE* file = open_image(image.name());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(image_size(file), (int64_t{4} << 30) + 512);
    fclose(file);
}

} // namespace
} // namespace skelder
