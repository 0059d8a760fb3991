#include "DriveDiscovery.h"

#include <winioctl.h>
#include <setupapi.h>
#include <ata.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// {53F56307-B6BF-11D0-94F2-00A0C91EFB8B}, the disk device interface class.
const GUID kDiskInterfaceClass = {
    0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};

const WCHAR kModelPrefix[] = L"DRAVONI KX";

// The detail buffer holds a path of 260 characters and its terminator (526 bytes on Windows).
constexpr DWORD kDetailPathChars = 261;

WORD IdentifyWord(const BYTE* pIdentify, int nWord) {
    return static_cast<WORD>(pIdentify[nWord * 2] | (pIdentify[nWord * 2 + 1] << 8));
}

// IDENTIFY DEVICE through the SMART interface; true when the call returned exactly 1.
bool ReadIdentifyBySmart(HANDLE hDisk, BYTE* pIdentify) {
    BYTE in[sizeof(SENDCMDINPARAMS)] = {};
    SENDCMDINPARAMS params{};
    params.cBufferSize = IDENTIFY_BUFFER_SIZE;
    params.irDriveRegs.bFeaturesReg = 0;
    params.irDriveRegs.bSectorCountReg = 1;
    params.irDriveRegs.bSectorNumberReg = 1;
    params.irDriveRegs.bCylLowReg = 0;
    params.irDriveRegs.bCylHighReg = 0;
    params.irDriveRegs.bDriveHeadReg = 0;
    params.irDriveRegs.bCommandReg = ID_CMD;
    params.bDriveNumber = 0;
    std::memcpy(in, &params, sizeof in);

    constexpr DWORD kOutHeader = sizeof(SENDCMDOUTPARAMS) - 1;
    BYTE out[kOutHeader + IDENTIFY_BUFFER_SIZE] = {};
    DWORD dwReturned = 0;
    const BOOL bResult = ::DeviceIoControl(hDisk, SMART_RCV_DRIVE_DATA, in, sizeof in, out,
                                           sizeof out, &dwReturned, nullptr);
    if (bResult != 1) {
        return false;
    }
    std::memcpy(pIdentify, out + kOutHeader, IDENTIFY_BUFFER_SIZE);
    return true;
}

} // namespace

void TrimSpaces(WCHAR* pszText, int nCapacity) {
    if (pszText == nullptr || nCapacity <= 0) {
        return;
    }
    const std::wstring copy(pszText, ::wcsnlen(pszText, static_cast<size_t>(nCapacity)));
    const int nLength = static_cast<int>(copy.size());
    int nStart = 0;
    while (nStart < nLength && copy[static_cast<size_t>(nStart)] == L' ') {
        ++nStart;
    }
    if (nStart == nLength) {
        nStart = 0;
    }
    int nEnd = nLength - 1;
    while (nEnd >= 0 && copy[static_cast<size_t>(nEnd)] == L' ') {
        --nEnd;
    }
    if (nEnd < 0) {
        nEnd = 0;
    }
    if (nLength == 0 || nEnd < nStart) {
        return;
    }
    std::wmemset(pszText, L'\0', static_cast<size_t>(nCapacity));
    const int nCount = std::min(nEnd - nStart + 1, nCapacity - 1);
    std::wmemcpy(pszText, copy.data() + nStart, static_cast<size_t>(nCount));
}

void GetIdentifyText(const BYTE* pIdentify, int nFirstWord, int nWords, WCHAR* pszText) {
    for (int i = 0; i < nWords; ++i) {
        const WORD w = IdentifyWord(pIdentify, nFirstWord + i);
        pszText[i * 2] = static_cast<WCHAR>(w >> 8);
        pszText[i * 2 + 1] = static_cast<WCHAR>(w & 0xFF);
    }
    pszText[nWords * 2] = L'\0';
    TrimSpaces(pszText, nWords * 2 + 1);
}

HDD_INFO MakeHddInfo(const BYTE* pIdentify, const WCHAR* pszDevicePath) {
    HDD_INFO info{};
    GetIdentifyText(pIdentify, ATA_ID_SERIAL_NUMBER, ATA_ID_SERIAL_NUMBER_WORDS, info.szSerialNo);
    GetIdentifyText(pIdentify, ATA_ID_FIRMWARE_REVISION, ATA_ID_FIRMWARE_REVISION_WORDS,
                    info.szFwRevision);
    GetIdentifyText(pIdentify, ATA_ID_MODEL_NUMBER, ATA_ID_MODEL_NUMBER_WORDS, info.szModel);
    ::wcsncpy(info.szDevicePath, pszDevicePath, 259);
    info.wDlMinBlocks = IdentifyWord(pIdentify, ATA_ID_DM_MIN_BLOCKS);
    info.wSecurityStatus = IdentifyWord(pIdentify, ATA_ID_SECURITY_STATUS);
    const WORD w234 = IdentifyWord(pIdentify, ATA_ID_DM_MIN_BLOCKS);
    const WORD w235 = IdentifyWord(pIdentify, ATA_ID_DM_MAX_BLOCKS);
    info.bDlOffsetsSupported =
        (w234 != 0 && w234 != 0xFFFF) || (w235 != 0 && w235 != 0xFFFF) ? TRUE : FALSE;
    info.wReserved = 0;
    return info;
}

bool IsTargetModel(const WCHAR* pszModel) {
    return std::wcsncmp(pszModel, kModelPrefix, 10) == 0;
}

HddInfoList EnumerateTargetDrives() {
    HddInfoList drives;
    HDEVINFO hDevInfo = ::SetupDiGetClassDevsW(&kDiskInterfaceClass, nullptr, nullptr,
                                               DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (hDevInfo == INVALID_HANDLE_VALUE || hDevInfo == nullptr) {
        return drives;
    }
    // Sized from the character count, so both builds hold the same path length.
    const DWORD dwDetailSize = static_cast<DWORD>(
        offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) + kDetailPathChars * sizeof(WCHAR));
    std::vector<BYTE> detailBuffer(dwDetailSize);
    auto* pDetail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(detailBuffer.data());

    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    for (DWORD dwIndex = 0; ::SetupDiEnumDeviceInterfaces(hDevInfo, nullptr, &kDiskInterfaceClass,
                                                          dwIndex, &interfaceData);
         ++dwIndex) {
        std::fill(detailBuffer.begin(), detailBuffer.end(), BYTE{0});
        pDetail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!::SetupDiGetDeviceInterfaceDetailW(hDevInfo, &interfaceData, pDetail, dwDetailSize,
                                                nullptr, nullptr)) {
            continue;
        }
        // A path that does not fit the record could not be named on the command line either.
        if (::wcsnlen(pDetail->DevicePath, kDetailPathChars) >= 260) {
            continue;
        }
        HANDLE hDisk =
            ::CreateFileW(pDetail->DevicePath, GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (hDisk == INVALID_HANDLE_VALUE) {
            continue;
        }
        BYTE identify[IDENTIFY_BUFFER_SIZE] = {};
        if (!ReadIdentifyBySmart(hDisk, identify)) {
            ::CloseHandle(hDisk);
            continue;
        }
        const HDD_INFO info = MakeHddInfo(identify, pDetail->DevicePath);
        if (IsTargetModel(info.szModel)) {
            drives.push_back(info);
        }
        ::CloseHandle(hDisk);
    }
    ::SetupDiDestroyDeviceInfoList(hDevInfo);
    return drives;
}
