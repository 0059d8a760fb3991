#include "ControllerMode.h"

#include <setupapi.h>

#include <cwchar>
#include <vector>

namespace {

bool StartsWith(const WCHAR* pszText, const WCHAR* pszPrefix) {
    return std::wcsncmp(pszText, pszPrefix, std::wcslen(pszPrefix)) == 0;
}

bool Contains(const WCHAR* pszText, const WCHAR* pszPart) {
    return std::wcsstr(pszText, pszPart) != nullptr;
}

// Device classes that hold storage controllers: IDE ATA/ATAPI controllers (hdc) and SCSI and
// RAID controllers.
bool IsStorageControllerClass(const WCHAR* pszClassName) {
    return std::wcsncmp(pszClassName, L"hd", 2) == 0 ||
           std::wcsncmp(pszClassName, L"SCSIAdapter", 11) == 0;
}

bool ReadDeviceDescription(HDEVINFO hDevInfo, SP_DEVINFO_DATA& devInfo,
                           std::vector<WCHAR>& description) {
    DWORD dwRequired = 0;
    ::SetupDiGetDeviceRegistryPropertyW(hDevInfo, &devInfo, SPDRP_DEVICEDESC, nullptr, nullptr, 0,
                                        &dwRequired);
    if (dwRequired == 0) {
        return false;
    }
    // The size is in bytes; one character more keeps the text terminated whatever came back.
    description.assign(dwRequired / sizeof(WCHAR) + 2, L'\0');
    return ::SetupDiGetDeviceRegistryPropertyW(
               hDevInfo, &devInfo, SPDRP_DEVICEDESC, nullptr,
               reinterpret_cast<PBYTE>(description.data()),
               static_cast<DWORD>((description.size() - 1) * sizeof(WCHAR)), nullptr) != FALSE;
}

} // namespace

BYTE ClassifyControllerDescription(const WCHAR* pszDescription) {
    const bool bAhci = Contains(pszDescription, L"AHCI");
    const bool bRaid = Contains(pszDescription, L"RAID");
    if (StartsWith(pszDescription, L"Intel")) {
        if (bAhci) {
            return 0x21;
        }
        return bRaid ? 0x22 : 0x20;
    }
    if (StartsWith(pszDescription, L"Standard") || StartsWith(pszDescription, L"\u6A19\u6E96")) {
        return bAhci ? 0x11 : 0x10;
    }
    if (StartsWith(pszDescription, L"NVIDIA")) {
        return bAhci || bRaid ? 0x31 : 0x30;
    }
    return 0x00;
}

bool IsAhciOrRaidMode(BYTE bMode) {
    switch (bMode) {
    case 0x11:
    case 0x12:
    case 0x21:
    case 0x22:
    case 0x31:
    case 0x32:
        return true;
    default:
        return false;
    }
}

BYTE GetControllerMode() {
    HDEVINFO hDevInfo =
        ::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (hDevInfo == INVALID_HANDLE_VALUE || hDevInfo == nullptr) {
        return 0x00;
    }
    BYTE bMode = 0x00;
    SP_DEVINFO_DATA devInfo{};
    devInfo.cbSize = sizeof devInfo;
    std::vector<WCHAR> description;
    for (DWORD dwIndex = 0; ::SetupDiEnumDeviceInfo(hDevInfo, dwIndex, &devInfo); ++dwIndex) {
        bMode = 0x00;
        WCHAR szClassName[256] = {};
        if (!::SetupDiClassNameFromGuidW(&devInfo.ClassGuid, szClassName, 256, nullptr) ||
            !IsStorageControllerClass(szClassName)) {
            continue;
        }
        if (!ReadDeviceDescription(hDevInfo, devInfo, description)) {
            continue;
        }
        bMode = ClassifyControllerDescription(description.data());
        if (bMode == 0x11 || bMode == 0x21 || bMode == 0x22 || bMode == 0x31) {
            break;
        }
    }
    ::SetupDiDestroyDeviceInfoList(hDevInfo);
    return bMode;
}

bool IsWindowsPE() {
    WCHAR szSystemDrive[256] = {};
    const DWORD dwLength = ::GetEnvironmentVariableW(L"SystemDrive", szSystemDrive, 256);
    if (dwLength == 0 || dwLength >= 256) {
        return false;
    }
    return (szSystemDrive[0] == L'X' || szSystemDrive[0] == L'x') && szSystemDrive[1] == L':' &&
           szSystemDrive[2] == L'\0';
}
