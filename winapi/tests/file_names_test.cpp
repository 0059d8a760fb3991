// Windows file names, and the C runtime's wide-name opens.
#include "conformance.h"

#include <share.h>
#include <stdio.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <fstream>

namespace {

using conformance::windows_name;

class InTempDir : public ::testing::Test {
protected:
    InTempDir() : previous_(std::filesystem::current_path()) {
        std::filesystem::create_directories(dir_ / "Images" / "Sub");
        std::ofstream(dir_ / "Images" / "Sub" / "FW.lod", std::ios::binary) << "0123456789";
        std::filesystem::current_path(dir_.path());
    }
    ~InTempDir() override { std::filesystem::current_path(previous_); }

    static bool opens(const std::wstring& name) {
        HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        return file != INVALID_HANDLE_VALUE && CloseHandle(file);
    }

    std::filesystem::path previous_;
    conformance::temp_dir dir_;
};

TEST_F(InTempDir, RelativeAbsoluteAndDotNamesWithBackslashesOpenTheFile) {
    EXPECT_TRUE(opens(L"Images\\Sub\\FW.lod"));
    EXPECT_TRUE(opens(L".\\Images\\..\\Images\\Sub\\FW.lod"));
    EXPECT_TRUE(opens(windows_name(dir_ / "Images" / "Sub" / "FW.lod")));
}

TEST_F(InTempDir, ANameOnADriveThatDoesNotExistIsAMissingPath) {
    EXPECT_FALSE(opens(L"Q:\\anything"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(_wfsopen(L"Q:\\nothing.bin", L"rb", _SH_DENYNO), nullptr);
}

TEST_F(InTempDir, NamesMatchExistingFilesWhateverTheirCase) {
    EXPECT_TRUE(opens(L"images\\SUB\\fw.LOD"));
    EXPECT_TRUE(opens(windows_name(dir_.path()) + L"\\IMAGES\\sub\\Fw.Lod"));
    EXPECT_FALSE(opens(L"images\\missing.bin"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(InTempDir, WfsopenReturnsARealStreamWith64BitPositions) {
    FILE* file = _wfsopen(L"images\\sub\\fw.lod", L"rb", _SH_DENYNO);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(_fseeki64(file, 0, SEEK_END), 0);
    EXPECT_EQ(_ftelli64(file), 10);
    EXPECT_EQ(_fseeki64(file, 2, SEEK_SET), 0);
    char bytes[3] = {};
    EXPECT_EQ(fread(bytes, 1, 2, file), 2u);
    EXPECT_EQ(std::string(bytes), "23");
    EXPECT_EQ(fclose(file), 0);

    // A sparse file past 4 GiB must not be seen as a small one.
    const auto big = dir_ / "big.bin";
    std::ofstream(big).close();
    std::filesystem::resize_file(big, (5ull << 30) + 512);
    file = _wfsopen(windows_name(big).c_str(), L"rb", _SH_DENYNO);
    ASSERT_NE(file, nullptr);
    _fseeki64(file, 0, SEEK_END);
    EXPECT_EQ(_ftelli64(file), static_cast<int64_t>((5ull << 30) + 512));
    fclose(file);
}

TEST_F(InTempDir, AMissingFileFailsWithTheRuntimeSNoSuchFileError) {
    errno = 0;
    EXPECT_EQ(_wfsopen(L"images\\nothing.bin", L"rb", _SH_DENYNO), nullptr);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(InTempDir, FindFirstFileMatchesWildcardsWithoutRegardToCase) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(L"IMAGES\\SUB\\*.LOD", &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::wstring(found.cFileName), L"FW.lod");
    EXPECT_EQ(found.nFileSizeLow, 10u);
    EXPECT_FALSE(FindNextFileW(search, &found));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(search));
    EXPECT_EQ(FindFirstFileW(L"Images\\*.none", &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(ModuleName, IsTheProgramPathAsWindowsCodeSeesIt) {
    wchar_t name[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, name, MAX_PATH);
    ASSERT_GT(length, 0u);
    const std::wstring text(name, length);
    EXPECT_EQ(text.rfind(L"Z:\\", 0), 0u);
    EXPECT_NE(text.find(L"\\winapi_"), std::wstring::npos);
}

TEST(ModuleName, ASmallBufferGetsTheNameCutAndTerminated) {
    wchar_t small[4] = {};
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 4), 4u);
    EXPECT_EQ(small[3], L'\0');
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

} // namespace
