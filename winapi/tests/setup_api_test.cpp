// The setup API on the default machine: disk interfaces and device classes.
#include <windows.h>
#include <setupapi.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

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

TEST(setup_api, lists_each_disk_interface_and_the_path_opens_the_disk) {
    const auto paths = disk_interface_paths();
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_NE(paths[1].find(L"dravoni"), std::wstring::npos);
    HANDLE disk =
        CreateFileW(paths[1].c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(disk, INVALID_HANDLE_VALUE);
    CloseHandle(disk);
}

TEST(setup_api, a_too_small_detail_buffer_reports_the_size_it_needs) {
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

TEST(setup_api, all_classes_list_the_controllers_with_class_names_and_descriptions) {
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

} // namespace
