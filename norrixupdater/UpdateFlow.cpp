// The update run: open the drive through its bus, identify it, check it against the
// datafile(s), read the datafile whole and download it.
#include "NorrixUpdaterApp.h"

#include "Bus.h"
#include "Console.h"
#include "CsmiBus.h"
#include "IdentifyData.h"
#include "ResultCodes.h"
#include "SataBus.h"

#include <cstring>
#include <new>

namespace {
// What a run holds; released in this order, each only if obtained: image buffer, datafile,
// IDENTIFY buffer, bus (which closes the device).
struct UpdateResources {
    CBus* pBus = nullptr;
    BYTE* pIdentifyData = nullptr;
    HANDLE hDatafile = INVALID_HANDLE_VALUE;
    BYTE* pImage = nullptr;

    UpdateResources() = default;
    UpdateResources(const UpdateResources&) = delete;
    UpdateResources& operator=(const UpdateResources&) = delete;
    ~UpdateResources() {
        if (pImage != nullptr) {
            pBus->FreeBuffer(pImage);
        }
        if (hDatafile != INVALID_HANDLE_VALUE) {
            ::CloseHandle(hDatafile);
        }
        if (pIdentifyData != nullptr) {
            pBus->FreeBuffer(pIdentifyData);
        }
        delete pBus;
    }
};

// Null when memory is short.
CBus* CreateBus(const CCustomCommandLineInfo& info) {
    try {
        if (!info.m_strTarget.IsEmpty()) {
            return new CSataBus(info.m_strTarget);
        }
        return new CCsmiBus(info.m_strController, info.m_strSasAddress);
    } catch (const std::bad_alloc&) {
    }
    return nullptr;
}

// Reads the datafile into res.pImage; returns the exit code and the size.
int ReadDatafile(const CString& strPath, UpdateResources& res, DWORD& dwSize) {
    res.hDatafile = ::CreateFileW(strPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (res.hDatafile == INVALID_HANDLE_VALUE) {
        VerbosePrint(L"ERROR:Unable to open datafile %ls\n", strPath.GetString());
        return NU_DATAFILE_ERROR;
    }
    DWORD dwSizeHigh = 0;
    const DWORD dwSizeLow = ::GetFileSize(res.hDatafile, &dwSizeHigh);
    if (dwSizeLow == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) {
        VerbosePrint(L"ERROR:Unable to get file status for datafile %ls\n", strPath.GetString());
        return NU_DATAFILE_ERROR;
    }
    if (dwSizeHigh != 0) {
        // 4 GiB or more: no buffer of a 32-bit process holds it, and no download addresses it.
        VerbosePrint(L"ERROR:Datafile %ls is too large\n", strPath.GetString());
        return NU_NO_DATA_OR_MEMORY;
    }
    dwSize = dwSizeLow;
    res.pImage = static_cast<BYTE*>(res.pBus->AllocBuffer(dwSize));
    if (res.pImage == nullptr) {
        VerbosePrint(L"ERROR:Unable alloc buffer for firmware\n");
        return NU_NO_DATA_OR_MEMORY;
    }
    DWORD dwRead = 0;
    if (!::ReadFile(res.hDatafile, res.pImage, dwSize, &dwRead, nullptr) || dwRead != dwSize) {
        VerbosePrint(L"ERROR:Unable to read data from datafile %ls\n", strPath.GetString());
        return NU_DATAFILE_ERROR;
    }
    return NU_SUCCESS;
}

// Steps up to the download; returns the exit code. Whatever it obtained stays in res.
int UpdateDrive(CNorrixUpdaterApp& app, UpdateResources& res) {
    CCustomCommandLineInfo& info = app.m_cmdInfo;
    if (info.m_strDatafile.IsEmpty()) {
        VerbosePrint(L"ERROR:Required command line argument /D not found\n");
        return NU_BAD_ARGUMENTS;
    }
    if (info.m_strTarget.IsEmpty() &&
        (info.m_strController.IsEmpty() || info.m_strSasAddress.IsEmpty())) {
        // The command line never lets this happen; without a target it is an argument error.
        VerbosePrint(L"ERROR:Required command line argument /T or /C not found\n");
        return NU_BAD_ARGUMENTS;
    }
    res.pBus = CreateBus(info);
    if (res.pBus == nullptr) {
        VerbosePrint(L"ERROR:Unable to create bus instance\n");
        return NU_NO_DATA_OR_MEMORY;
    }
    int nResult = res.pBus->Open();
    if (nResult == NU_BAD_ARGUMENTS) {
        // The device opened; what Open refused is the address the user typed, so say that.
        Print(L"ERROR:SAS address must be 16 hexadecimal digits\n");
        return nResult;
    }
    if (nResult != NU_SUCCESS) {
        Print(L"ERROR:Open device failed\n");
        return nResult;
    }
    res.pIdentifyData = static_cast<BYTE*>(res.pBus->AllocBuffer(IDENTIFY_DATA_BYTES));
    if (res.pIdentifyData == nullptr) {
        VerbosePrint(L"ERROR:Unable alloc buffer for Identify data\n");
        return NU_NO_DATA_OR_MEMORY;
    }
    // Cleared first, so that a command that completed without moving data shows as such.
    std::memset(res.pIdentifyData, 0, IDENTIFY_DATA_BYTES);
    nResult = res.pBus->IdentifyDevice(res.pIdentifyData, IDENTIFY_DATA_BYTES);
    if (nResult == NU_SUCCESS && !IsIdentifyDataPresent(res.pIdentifyData)) {
        // The drive sent nothing, or not all of it: its security state is unknown.
        VerbosePrint(L"ERROR:Identify device returned no valid data\n");
        nResult = NU_DRIVE_ERROR;
    }
    if (nResult != NU_SUCCESS) {
        Print(L"ERROR:Identify device failed\n");
        return nResult;
    }
    if (!app.CheckDatafile(res.pIdentifyData)) {
        VerbosePrint(L"ERROR:Datafile not supported on this device\n");
        return NU_DATAFILE_MISMATCH;
    }
    VerbosePrint(L"Selected datafile %ls\n", info.m_strDatafile.GetString());
    if (IsSecurityEnabled(res.pIdentifyData)) {
        VerbosePrint(L"ERROR:Security enabled on device\n");
        return NU_SECURITY_ENABLED;
    }
    DWORD dwSize = 0;
    nResult = ReadDatafile(info.m_strDatafile, res, dwSize);
    if (nResult != NU_SUCCESS) {
        return nResult;
    }
    Print(L"Downloading firmware.\n");
    nResult = res.pBus->DownloadMicrocode(res.pImage, dwSize);
    if (nResult != NU_SUCCESS) {
        VerbosePrint(L"ERROR:Download failed\n");
    }
    return nResult;
}

} // namespace

int CNorrixUpdaterApp::RunUpdate() {
    int nExitCode = NU_SUCCESS;
    {
        UpdateResources res;
        nExitCode = UpdateDrive(*this, res);
    } // the outcome is told after the device is closed
    if (nExitCode == NU_SUCCESS) {
        Print(L"Firmware download success\n");
    } else {
        Print(L"Firmware download failed, exit code = %d\n", nExitCode);
    }
    return nExitCode;
}
