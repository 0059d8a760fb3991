// The setup API over the machine's description: disk interfaces (the disks'
// interface paths) and device lists by class, with their registry properties.
#include "handle_table.h"
#include "wide_text.h"

#include <windows.h>
#include <setupapi.h>
#include <winioctl.h>

#include <winsim/api.h>

#include <cstdio>
#include <cstring>
#include <cwctype>

namespace winapi_host {
namespace {

struct listed_device {
    GUID class_guid{};
    std::wstring class_name;
    std::wstring description;
    std::wstring hardware_id;
    std::wstring interface_path; // empty unless the set lists interfaces
};

class device_info_set final : public kernel_object {
public:
    std::vector<listed_device> devices;
    bool interfaces = false;
};

bool parse_guid(const std::string& text, GUID& guid) {
    unsigned int parts[11] = {};
    if (std::sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &parts[0], &parts[1],
                    &parts[2], &parts[3], &parts[4], &parts[5], &parts[6], &parts[7], &parts[8],
                    &parts[9], &parts[10]) != 11) {
        return false;
    }
    guid.Data1 = parts[0];
    guid.Data2 = static_cast<uint16_t>(parts[1]);
    guid.Data3 = static_cast<uint16_t>(parts[2]);
    for (int i = 0; i < 8; ++i) {
        guid.Data4[i] = static_cast<uint8_t>(parts[3 + i]);
    }
    return true;
}

std::vector<listed_device> machine_devices() {
    std::vector<listed_device> devices;
    for (const auto& entry : winsim::setup_devices()) {
        listed_device device;
        parse_guid(entry.class_guid, device.class_guid);
        device.class_name = widen(entry.class_name);
        device.description = widen(entry.description);
        device.hardware_id = widen(entry.hardware_id);
        devices.push_back(device);
    }
    return devices;
}

device_info_set* lookup_set(HDEVINFO set) {
    auto* found = lookup_handle<device_info_set>(set);
    if (found == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return found;
}

// Windows checks cbSize against its own structure size: 6 in 32-bit programs and 8 in
// 64-bit ones (4 + one WCHAR, padded); the host's WCHAR is wider, so both are taken.
bool valid_detail_size(DWORD size) {
    return size == 6 || size == 8 || size == sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
}

void trace(const char* call, bool ok, DWORD error,
           nlohmann::json extra = nlohmann::json::object()) {
    extra["call"] = call;
    extra["ok"] = ok;
    extra["error"] = error;
    winsim::trace_record(extra);
}

BOOL fail(const char* call, DWORD error) {
    SetLastError(error);
    trace(call, false, error);
    return FALSE;
}

} // namespace
} // namespace winapi_host

using namespace winapi_host;

extern "C" HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* ClassGuid, PCWSTR, HWND, DWORD Flags) {
    auto set = std::make_unique<device_info_set>();
    if ((Flags & DIGCF_DEVICEINTERFACE) != 0) {
        if (ClassGuid == nullptr) {
            SetLastError(ERROR_INVALID_PARAMETER);
            trace("SetupDiGetClassDevsW", false, ERROR_INVALID_PARAMETER, {{"flags", Flags}});
            return INVALID_HANDLE_VALUE;
        }
        set->interfaces = true;
        if (*ClassGuid == GUID_DEVINTERFACE_DISK) {
            for (const auto& path : winsim::disk_interface_paths()) {
                listed_device device;
                parse_guid("{4d36e967-e325-11ce-bfc1-08002be10318}", device.class_guid);
                device.class_name = L"DiskDrive";
                device.interface_path = widen(path);
                set->devices.push_back(device);
            }
        }
    } else {
        for (auto& device : machine_devices()) {
            if ((Flags & DIGCF_ALLCLASSES) != 0 ||
                (ClassGuid != nullptr && *ClassGuid == device.class_guid)) {
                set->devices.push_back(device);
            }
        }
    }
    trace("SetupDiGetClassDevsW", true, 0, {{"flags", Flags}, {"count", set->devices.size()}});
    return insert_handle(std::move(set));
}

extern "C" BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA,
                                                   const GUID* InterfaceClassGuid,
                                                   DWORD MemberIndex,
                                                   PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
    auto* set = lookup_set(DeviceInfoSet);
    if (set == nullptr) {
        return fail("SetupDiEnumDeviceInterfaces", ERROR_INVALID_HANDLE);
    }
    // A wrong cbSize is a bad parameter here, a bad user buffer in the other calls (as Wine,
    // whose setup API tests also run on Windows, answers).
    if (DeviceInterfaceData == nullptr ||
        DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        return fail("SetupDiEnumDeviceInterfaces", ERROR_INVALID_PARAMETER);
    }
    if (!set->interfaces || MemberIndex >= set->devices.size()) {
        return fail("SetupDiEnumDeviceInterfaces", ERROR_NO_MORE_ITEMS);
    }
    DeviceInterfaceData->InterfaceClassGuid =
        InterfaceClassGuid != nullptr ? *InterfaceClassGuid : GUID{};
    DeviceInterfaceData->Flags = SPINT_ACTIVE;
    DeviceInterfaceData->Reserved = MemberIndex + 1;
    trace("SetupDiEnumDeviceInterfaces", true, 0, {{"index", MemberIndex}});
    return TRUE;
}

extern "C" BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(
    HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
    PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
    DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize, PSP_DEVINFO_DATA DeviceInfoData) {
    const char* call = "SetupDiGetDeviceInterfaceDetailW";
    auto* set = lookup_set(DeviceInfoSet);
    if (set == nullptr) {
        return fail(call, ERROR_INVALID_HANDLE);
    }
    if (DeviceInterfaceData == nullptr || DeviceInterfaceData->Reserved == 0 ||
        DeviceInterfaceData->Reserved > set->devices.size()) {
        return fail(call, ERROR_INVALID_PARAMETER);
    }
    const auto& device = set->devices[DeviceInterfaceData->Reserved - 1];
    const auto path_offset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    const auto needed =
        static_cast<DWORD>(path_offset + (device.interface_path.size() + 1) * sizeof(WCHAR));
    if (RequiredSize != nullptr) {
        *RequiredSize = needed;
    }
    if (DeviceInterfaceDetailData != nullptr &&
        !valid_detail_size(DeviceInterfaceDetailData->cbSize)) {
        return fail(call, ERROR_INVALID_USER_BUFFER);
    }
    if (DeviceInterfaceDetailData == nullptr || DeviceInterfaceDetailDataSize < needed) {
        return fail(call, ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(DeviceInterfaceDetailData->DevicePath, device.interface_path.c_str(),
                (device.interface_path.size() + 1) * sizeof(WCHAR));
    if (DeviceInfoData != nullptr) {
        DeviceInfoData->ClassGuid = device.class_guid;
        DeviceInfoData->DevInst = static_cast<DWORD>(DeviceInterfaceData->Reserved);
    }
    trace(call, true, 0, {{"path", narrow(device.interface_path)}});
    return TRUE;
}

extern "C" BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex,
                                             PSP_DEVINFO_DATA DeviceInfoData) {
    auto* set = lookup_set(DeviceInfoSet);
    if (set == nullptr) {
        return fail("SetupDiEnumDeviceInfo", ERROR_INVALID_HANDLE);
    }
    if (DeviceInfoData == nullptr || DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) {
        return fail("SetupDiEnumDeviceInfo", ERROR_INVALID_USER_BUFFER);
    }
    if (MemberIndex >= set->devices.size()) {
        return fail("SetupDiEnumDeviceInfo", ERROR_NO_MORE_ITEMS);
    }
    DeviceInfoData->ClassGuid = set->devices[MemberIndex].class_guid;
    DeviceInfoData->DevInst = MemberIndex + 1;
    DeviceInfoData->Reserved = reinterpret_cast<ULONG_PTR>(set);
    trace("SetupDiEnumDeviceInfo", true, 0, {{"index", MemberIndex}});
    return TRUE;
}

extern "C" BOOL WINAPI SetupDiClassNameFromGuidW(const GUID* ClassGuid, PWSTR ClassName,
                                                 DWORD ClassNameSize, PDWORD RequiredSize) {
    if (ClassGuid == nullptr) {
        return fail("SetupDiClassNameFromGuidW", ERROR_INVALID_PARAMETER);
    }
    for (const auto& device : machine_devices()) {
        if (device.class_guid == *ClassGuid) {
            const auto needed = static_cast<DWORD>(device.class_name.size() + 1);
            if (RequiredSize != nullptr) {
                *RequiredSize = needed;
            }
            if (ClassName == nullptr || ClassNameSize < needed) {
                return fail("SetupDiClassNameFromGuidW", ERROR_INSUFFICIENT_BUFFER);
            }
            std::wmemcpy(ClassName, device.class_name.c_str(), needed);
            trace("SetupDiClassNameFromGuidW", true, 0, {{"class", narrow(device.class_name)}});
            return TRUE;
        }
    }
    return fail("SetupDiClassNameFromGuidW", ERROR_INVALID_CLASS);
}

extern "C" BOOL WINAPI SetupDiGetDeviceRegistryPropertyW(HDEVINFO DeviceInfoSet,
                                                         PSP_DEVINFO_DATA DeviceInfoData,
                                                         DWORD Property, PDWORD PropertyRegDataType,
                                                         PBYTE PropertyBuffer,
                                                         DWORD PropertyBufferSize,
                                                         PDWORD RequiredSize) {
    const char* call = "SetupDiGetDeviceRegistryPropertyW";
    auto* set = lookup_set(DeviceInfoSet);
    if (set == nullptr) {
        return fail(call, ERROR_INVALID_HANDLE);
    }
    if (DeviceInfoData == nullptr || DeviceInfoData->DevInst == 0 ||
        DeviceInfoData->DevInst > set->devices.size()) {
        return fail(call, ERROR_INVALID_PARAMETER);
    }
    const auto& device = set->devices[DeviceInfoData->DevInst - 1];
    std::wstring value;
    switch (Property) {
    case SPDRP_DEVICEDESC:
    case SPDRP_FRIENDLYNAME:
        value = device.description;
        break;
    case SPDRP_CLASS:
        value = device.class_name;
        break;
    case SPDRP_HARDWAREID:
        value = device.hardware_id;
        break;
    default:
        break;
    }
    if (value.empty()) {
        return fail(call, ERROR_INVALID_DATA);
    }
    const auto needed = static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR));
    if (RequiredSize != nullptr) {
        *RequiredSize = needed;
    }
    if (PropertyRegDataType != nullptr) {
        *PropertyRegDataType = REG_SZ;
    }
    if (PropertyBuffer == nullptr || PropertyBufferSize < needed) {
        return fail(call, ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(PropertyBuffer, value.c_str(), needed);
    trace(call, true, 0, {{"property", Property}, {"value", narrow(value)}});
    return TRUE;
}

extern "C" BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    if (lookup_handle<device_info_set>(DeviceInfoSet) == nullptr || !remove_handle(DeviceInfoSet)) {
        return fail("SetupDiDestroyDeviceInfoList", ERROR_INVALID_HANDLE);
    }
    trace("SetupDiDestroyDeviceInfoList", true, 0);
    return TRUE;
}
