// Handles: regular files and devices with Windows' sharing rules, closing, mutexes,
// environment, memory.
#include "conformance.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class FileHandles : public ::testing::Test {
protected:
    FileHandles() { std::ofstream(dir_ / "data.bin", std::ios::binary) << std::string(1000, 'x'); }

    HANDLE open(DWORD access, DWORD share) {
        const auto name = conformance::windows_name(dir_ / "data.bin");
        return CreateFileW(name.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    }

    conformance::temp_dir dir_;
};

TEST_F(FileHandles, OpensThatDoNotShareWhatTheOtherWantsAreSharingViolations) {
    HANDLE exclusive = open(GENERIC_READ, 0);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(CloseHandle(exclusive));

    HANDLE reader = open(GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    HANDLE second_reader = open(GENERIC_READ, FILE_SHARE_READ);
    EXPECT_NE(second_reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open(GENERIC_WRITE, FILE_SHARE_READ), INVALID_HANDLE_VALUE) << "readers deny writing";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(reader);
    CloseHandle(second_reader);
}

TEST_F(FileHandles, ReadFileAndSizesReportTheFileAndAClosedHandleIsInvalid) {
    HANDLE file = open(GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(file, &high), 1000u);
    EXPECT_EQ(high, 0u);
    LARGE_INTEGER size{};
    EXPECT_TRUE(GetFileSizeEx(file, &size));
    EXPECT_EQ(size.QuadPart, 1000);
    char buffer[2000];
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 1000u);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(ReadFile(file, buffer, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// What tells two names of one file apart from two files: a hard link shares the volume serial
// number and file index; a copy does not.
TEST_F(FileHandles, TwoNamesOfOneFileShareVolumeAndIndexAndAnotherFileDoesNot) {
    std::filesystem::create_hard_link(dir_ / "data.bin", dir_ / "link.bin");
    std::filesystem::copy_file(dir_ / "data.bin", dir_ / "copy.bin");
    auto identity = [this](const char* name) {
        const auto path = conformance::windows_name(dir_ / name);
        HANDLE file =
            CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        BY_HANDLE_FILE_INFORMATION info{};
        EXPECT_TRUE(GetFileInformationByHandle(file, &info)) << name;
        CloseHandle(file);
        return info;
    };
    const auto data = identity("data.bin");
    const auto link = identity("link.bin");
    const auto copy = identity("copy.bin");
    EXPECT_EQ(data.nFileSizeLow, 1000u);
    EXPECT_EQ(data.nNumberOfLinks, 2u);
    EXPECT_EQ(link.dwVolumeSerialNumber, data.dwVolumeSerialNumber);
    EXPECT_EQ(link.nFileIndexHigh, data.nFileIndexHigh);
    EXPECT_EQ(link.nFileIndexLow, data.nFileIndexLow);
    EXPECT_EQ(copy.dwVolumeSerialNumber, data.dwVolumeSerialNumber);
    EXPECT_FALSE(copy.nFileIndexHigh == data.nFileIndexHigh &&
                 copy.nFileIndexLow == data.nFileIndexLow);
}

TEST_F(FileHandles, AMissingFileOrDirectoryHasItsOwnError) {
    const auto missing_file = conformance::windows_name(dir_ / "none.bin");
    EXPECT_EQ(
        CreateFileW(missing_file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    const auto missing_dir = conformance::windows_name(dir_ / "no" / "none.bin");
    EXPECT_EQ(CreateFileW(missing_dir.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(DeviceHandles, UnknownDeviceNamesAreNotFound) {
    SetLastError(0);
    EXPECT_EQ(
        CreateFileW(L"\\\\.\\PhysicalDrive42", GENERIC_READ, 3, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(NamedMutex, ASecondCreationOfTheSameNameReportsAlreadyExists) {
    HANDLE first = CreateMutexW(nullptr, FALSE, L"fwu test mutex");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateMutexW(nullptr, FALSE, L"fwu test mutex");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(second);
    CloseHandle(first);
    HANDLE fresh = CreateMutexW(nullptr, FALSE, L"fwu test mutex");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(fresh);
}

TEST(Environment, NamesIgnoreCaseAndASmallBufferGetsTheSizeNeeded) {
    conformance::set_environment(L"FWU_TEST_VARIABLE", L"x:");
    wchar_t value[8] = {};
    EXPECT_EQ(GetEnvironmentVariableW(L"fwu_test_variable", value, 8), 2u);
    EXPECT_EQ(std::wstring(value), L"x:");
    EXPECT_EQ(GetEnvironmentVariableW(L"FWU_TEST_VARIABLE", value, 2), 3u);
    conformance::set_environment(L"FWU_TEST_VARIABLE", nullptr);
    EXPECT_EQ(GetEnvironmentVariableW(L"FWU_TEST_VARIABLE", value, 8), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
}

TEST(ProcessQueries, IsWow64ProcessIsFoundThroughGetProcAddress) {
    using is_wow64_fn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"KERNEL32.DLL"), "IsWow64Process");
    ASSERT_NE(found, nullptr);
    BOOL wow64 = TRUE;
    EXPECT_TRUE(reinterpret_cast<is_wow64_fn>(reinterpret_cast<void (*)(void)>(found))(
        GetCurrentProcess(), &wow64));
    EXPECT_EQ(wow64 != FALSE, sizeof(void*) == 4) << "a 32-bit process on 64-bit Windows";
    EXPECT_EQ(GetProcAddress(GetModuleHandleW(L"kernel32"), "NoSuchFunction"), nullptr);
}

TEST(Memory, GlobalAndLocalBlocksAreZeroedOnRequestAndKeepTheirSize) {
    auto* block = static_cast<unsigned char*>(GlobalAlloc(GPTR, 100));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 100u);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(block[i], 0);
    }
    EXPECT_EQ(GlobalLock(block), block);
    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(LocalFree(LocalAlloc(LPTR, 16)), nullptr);
}

} // namespace
