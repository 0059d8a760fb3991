// Cases for the stand-in alone. Each group says why Windows has nothing to compare it with.
// The other sources of winapi/tests also run as Windows programs under Wine, but for
// process_exit_test.cpp, whose cases read the simulated machine's exit record and trace.
#include "command_line.h"

#include <windows.h>
#include <commctrl.h>
#include <ntddscsi.h>
#include <setupapi.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// The host's own half of the command line: how a Linux argv becomes the Windows command line
// that CommandLineToArgvW splits back. Windows gets its command line from whoever started it.
TEST(CommandLineBuilding, QuotesEveryArgumentSoSplittingGivesItBack) {
    using args = std::vector<std::wstring>;
    using winapi_host::build_command_line;
    using winapi_host::split_command_line;
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

// The default simulated machine exists only here: \\.\PhysicalDrive0 with a drive behind SCSI
// and ATA pass-through, three disk interfaces, the controllers' device classes.
TEST(DeviceHandles, AnExclusiveDiskOpenRefusesLaterOpensUntilClosed) {
    const wchar_t* disk = L"\\\\.\\PhysicalDrive0";
    HANDLE held =
        CreateFileW(disk, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileW(disk, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    SCSI_ADDRESS address{};
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(held, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address, sizeof address,
                                &returned, nullptr));
    EXPECT_EQ(returned, 8u);
    EXPECT_TRUE(CloseHandle(held));
    HANDLE again =
        CreateFileW(disk, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
    EXPECT_FALSE(DeviceIoControl(again, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address,
                                 sizeof address, &returned, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

std::vector<std::wstring> disk_interface_paths() {
    std::vector<std::wstring> paths;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_DISK, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVICE_INTERFACE_DATA item{};
    item.cbSize = sizeof item;
    for (DWORD index = 0;
         SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_DISK, index, &item);
         ++index) {
        // The detail buffer is sized in characters, as programs do for both builds.
        std::vector<unsigned char> buffer(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                                          260 * sizeof(WCHAR));
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(buffer.data());
        detail->cbSize = 6;
        if (SetupDiGetDeviceInterfaceDetailW(set, &item, detail, static_cast<DWORD>(buffer.size()),
                                             nullptr, nullptr)) {
            paths.emplace_back(detail->DevicePath);
        }
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    return paths;
}

TEST(SetupApi, ListsEachDiskInterfaceAndThePathOpensTheDisk) {
    const auto paths = disk_interface_paths();
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_NE(paths[1].find(L"dravoni"), std::wstring::npos);
    HANDLE disk =
        CreateFileW(paths[1].c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(disk, INVALID_HANDLE_VALUE);
    CloseHandle(disk);
}

TEST(SetupApi, ATooSmallDetailBufferReportsTheSizeItNeeds) {
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_DISK, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA item{};
    item.cbSize = sizeof item;
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_DISK, 0, &item));
    DWORD needed = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailW(set, &item, nullptr, 0, &needed, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_GT(needed, 4u * sizeof(WCHAR));
    SetupDiDestroyDeviceInfoList(set);
}

TEST(SetupApi, AllClassesListTheControllersWithClassNamesAndDescriptions) {
    HDEVINFO set =
        SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &device));
    wchar_t class_name[256] = {};
    ASSERT_TRUE(SetupDiClassNameFromGuidW(&device.ClassGuid, class_name, 256, nullptr));
    EXPECT_EQ(std::wstring(class_name), L"hdc");
    DWORD size = 0;
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_DEVICEDESC, nullptr, nullptr,
                                                   0, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> text(size);
    DWORD type = 0;
    ASSERT_TRUE(SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_DEVICEDESC, &type,
                                                  text.data(), size, nullptr));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(text.data())),
              L"Standard SATA AHCI Controller");
    DWORD count = 1;
    while (SetupDiEnumDeviceInfo(set, count, &device)) {
        ++count;
    }
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    SetupDiDestroyDeviceInfoList(set);
}

// Windows: the stand-in's dialogs come from the programs' template 129 and are recorded in the
// trace; a Windows program needs the template in its resources (Marlisk's real dialog is
// checked under Wine by wine.marlisk_window_under_xvfb).
LPARAM g_initParam = 0;
HWND g_initWindow = nullptr;

INT_PTR CALLBACK RecordInit(HWND hWnd, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        g_initWindow = hWnd;
        g_initParam = lParam;
    }
    return TRUE;
}

TEST(Dialogs, TheDialogProcedureSeesWmInitdialogBeforeCreateReturns) {
    HWND dialog =
        CreateDialogParamW(nullptr, reinterpret_cast<LPCWSTR>(129), nullptr, RecordInit, 42);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(g_initWindow, dialog);
    EXPECT_EQ(g_initParam, 42);
    HWND bar = GetDlgItem(dialog, 1014);
    EXPECT_EQ(GetDlgItem(dialog, 1014), bar);
    EXPECT_EQ(GetDlgCtrlID(bar), 1014);
    EXPECT_TRUE(DestroyWindow(dialog));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsWindow(bar)); // children go with their dialog
    EXPECT_FALSE(SetWindowTextW(bar, L"gone"));
}

TEST(ProgressBars, PositionsAreClampedToTheRange) {
    HWND dialog = CreateDialogParamW(nullptr, reinterpret_cast<LPCWSTR>(129), nullptr, nullptr, 0);
    HWND bar = GetDlgItem(dialog, 1014);
    SendMessageW(bar, PBM_SETRANGE32, 0, 10);
    EXPECT_EQ(SendMessageW(bar, PBM_SETPOS, 5, 0), 0); // returns the previous position
    EXPECT_EQ(SendMessageW(bar, PBM_SETPOS, 15, 0), 5);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 10);
    SendMessageW(bar, PBM_SETRANGE32, 0, 0);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
    SendMessageW(bar, PBM_SETPOS, 3, 0);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
    DestroyWindow(dialog);
}

// Machine-wide mutexes: the stand-in's lock files stand for another process. Wine's mutexes
// live in its server (wine.marlisk_second_instance checks them with two real processes).
TEST(NamedMutex, AnotherProcessSeesANameThisOneHolds) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("winapi-mutex-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    ::setenv("WINSIM_MUTEX_DIR", dir.c_str(), 1);
    HANDLE held = CreateMutexW(nullptr, TRUE, L"fwu machine-wide mutex");
    ASSERT_NE(held, nullptr);
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

    auto other_process_sees = [] {
        const pid_t child = ::fork();
        if (child == 0) {
            CreateMutexW(nullptr, TRUE, L"fwu machine-wide mutex");
            ::_exit(GetLastError() == ERROR_ALREADY_EXISTS ? 1 : 0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 1;
    };
    EXPECT_TRUE(other_process_sees());
    CloseHandle(held);
    EXPECT_FALSE(other_process_sees());
    ::unsetenv("WINSIM_MUTEX_DIR");
    std::filesystem::remove_all(dir);
}

} // namespace
