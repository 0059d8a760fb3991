#include "setup_probe.h"

#include <windows.h>
#include <setupapi.h>
#include <winioctl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace capture {
namespace {

// {53F56307-B6BF-11D0-94F2-00A0C91EFB8B}, the disk device interface class.
const GUID disk_interface_class = {
    0x53f56307, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}};

// Classes whose devices a capture keeps: IDE/ATA and SCSI/RAID controllers (the classes
// Marlisk's controller-mode check examines) and disk drives.
bool kept_class(const std::wstring& name) {
    return name.rfind(L"hd", 0) == 0 || name == L"SCSIAdapter" || name == L"DiskDrive";
}

std::wstring guid_text(const GUID& guid) {
    wchar_t text[40] = {};
    std::swprintf(text, sizeof text / sizeof text[0],
                  L"{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                  guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
    return text;
}

// A text property; for a list (REG_MULTI_SZ, such as hardware ids) its first entry.
std::wstring device_property(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    DWORD size = 0;
    ::SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr, nullptr, 0, &size);
    if (size == 0) {
        return {};
    }
    std::vector<WCHAR> text(size / sizeof(WCHAR) + 1, 0);
    if (!::SetupDiGetDeviceRegistryPropertyW(
            set, &device, property, nullptr, reinterpret_cast<PBYTE>(text.data()),
            static_cast<DWORD>(text.size() * sizeof(WCHAR)), nullptr)) {
        return {};
    }
    return text.data();
}

std::wstring class_name(const GUID& guid) {
    WCHAR name[256] = {};
    if (!::SetupDiClassNameFromGuidW(&guid, name, 256, nullptr)) {
        return {};
    }
    return name;
}

std::vector<std::wstring> disk_interface_paths() {
    std::vector<std::wstring> paths;
    HDEVINFO set = ::SetupDiGetClassDevsW(&disk_interface_class, nullptr, nullptr,
                                          DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE || set == nullptr) {
        return paths;
    }
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interface_data{};
        interface_data.cbSize = sizeof interface_data;
        if (!::SetupDiEnumDeviceInterfaces(set, nullptr, &disk_interface_class, index,
                                           &interface_data)) {
            break;
        }
        DWORD size = 0;
        ::SetupDiGetDeviceInterfaceDetailW(set, &interface_data, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
            continue;
        }
        // Whole structures, so the detail lies aligned; the path follows its size field.
        std::vector<SP_DEVICE_INTERFACE_DETAIL_DATA_W> detail(
            size / sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) + 1);
        detail[0].cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        const auto room =
            static_cast<DWORD>(detail.size() * sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W));
        if (::SetupDiGetDeviceInterfaceDetailW(set, &interface_data, detail.data(), room, nullptr,
                                               nullptr)) {
            paths.emplace_back(detail[0].DevicePath);
        }
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return paths;
}

} // namespace

void probe_setup_devices(machine_record& machine) {
    HDEVINFO set =
        ::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE || set == nullptr) {
        return;
    }
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!::SetupDiEnumDeviceInfo(set, index, &device)) {
            break;
        }
        auto name = class_name(device.ClassGuid);
        if (!kept_class(name)) {
            continue;
        }
        machine.setup_devices.push_back({std::move(name), guid_text(device.ClassGuid),
                                         device_property(set, device, SPDRP_DEVICEDESC),
                                         device_property(set, device, SPDRP_HARDWAREID)});
    }
    ::SetupDiDestroyDeviceInfoList(set);
}

void tie_disk_interfaces(machine_record& machine) {
    for (const auto& path : disk_interface_paths()) {
        // No access asked: the device number is answered to any open.
        HANDLE disk = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (disk == INVALID_HANDLE_VALUE) {
            machine.refusing.push_back(
                {path, "CreateFileW", ::GetLastError(), "the disk interface did not open"});
            continue;
        }
        STORAGE_DEVICE_NUMBER number{};
        DWORD returned = 0;
        const bool ok = ::DeviceIoControl(disk, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0,
                                          &number, sizeof number, &returned, nullptr) != 0;
        const auto error = ok ? 0 : ::GetLastError();
        ::CloseHandle(disk);
        if (!ok) {
            machine.refusing.push_back({path, "IOCTL_STORAGE_GET_DEVICE_NUMBER", error,
                                        "the disk interface has no device number"});
            continue;
        }
        // The disk's own answer where it gave one; Windows names \\.\PhysicalDriveN by it.
        bool tied = false;
        for (auto& each : machine.disks) {
            if (each.device_number.value_or(each.number) == number.DeviceNumber &&
                each.interface_path.empty()) {
                each.interface_path = path;
                tied = true;
            }
        }
        if (!tied) {
            machine.refusing.push_back({path, "IOCTL_STORAGE_GET_DEVICE_NUMBER", 0,
                                        "disk " + std::to_string(number.DeviceNumber) +
                                            " is not among the disks captured"});
        }
    }
}

} // namespace capture
