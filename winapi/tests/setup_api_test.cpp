// The setup API's answers that hold on any machine, with or without devices.
#include <windows.h>
#include <setupapi.h>
#include <winioctl.h>

#include <gtest/gtest.h>

namespace {

TEST(SetupApi, EnumeratingPastTheLastItemOrWithAWrongSizeFails) {
    HDEVINFO interfaces = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_DISK, nullptr, nullptr,
                                               DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(interfaces, INVALID_HANDLE_VALUE);
    SP_DEVICE_INTERFACE_DATA item{};
    item.cbSize = sizeof item;
    EXPECT_FALSE(
        SetupDiEnumDeviceInterfaces(interfaces, nullptr, &GUID_DEVINTERFACE_DISK, 100000, &item));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    item.cbSize = 1;
    EXPECT_FALSE(
        SetupDiEnumDeviceInterfaces(interfaces, nullptr, &GUID_DEVINTERFACE_DISK, 0, &item));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(interfaces));

    HDEVINFO all =
        SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    ASSERT_NE(all, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    EXPECT_FALSE(SetupDiEnumDeviceInfo(all, 100000, &device));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    device.cbSize = 1;
    EXPECT_FALSE(SetupDiEnumDeviceInfo(all, 0, &device));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(all));
    EXPECT_FALSE(SetupDiEnumDeviceInfo(INVALID_HANDLE_VALUE, 0, &device));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

} // namespace
