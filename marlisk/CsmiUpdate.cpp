// The update through a CSMI RAID driver: one 512-byte block per DOWNLOAD MICROCODE command,
// each in an STP pass-through request, the whole transfer repeated after a failure.
#include "DravHDDUpdateApp.h"

#include "CsmiRequests.h"
#include "ExitCodes.h"
#include "HddInfo.h"
#include "UpdateProgress.h"

#include <cstring>
#include <string>

namespace {

std::wstring Widen(const char* pszText) {
    std::wstring strText;
    for (const char* p = pszText; *p != '\0'; ++p) {
        strText += static_cast<WCHAR>(static_cast<unsigned char>(*p));
    }
    return strText;
}

} // namespace

int CDravHDDUpdateApp::UpdateByCsmi(const WCHAR* pszFirmwareFile, const WCHAR* pszNewFwRevision,
                                    DWORD dwRetryCount) {
    ImageBuffer image;
    if (!LoadFirmwareImage(pszFirmwareFile, "csmi ", image)) {
        return 0;
    }

    char szFwRevision[9] = {};
    char szModel[41] = {};
    char szSerialNo[21] = {};
    int nController = kNoCsmiController;
    WORD wSecurity = 0;
    if (!SearchDeviceCsmi(szFwRevision, szModel, nController, szSerialNo, wSecurity)) {
        m_nExitCode = EXIT_NOT_AVAILABLE;
        WriteErrorWithExitCode("SearchDeviceCsmi() error");
        return 0;
    }
    if (nController == kNoCsmiController) {
        m_nExitCode = EXIT_DRIVE_NOT_FOUND;
        WriteErrorWithExitCode("Cannot find device on SCSI");
        return 0;
    }
    if ((wSecurity & HDD_SECURITY_ENABLED) != 0) {
        m_nExitCode = EXIT_SECURITY_ENABLED;
        WriteErrorWithExitCode("Security Error");
        return 0;
    }
    WCHAR szPath[260] = {};
    FormatControllerPath(nController, szPath, 260);
    HANDLE hController =
        ::CreateFileW(szPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (hController == INVALID_HANDLE_VALUE) {
        m_nExitCode = EXIT_OPEN_FAILED;
        WriteErrorWithExitCode("CreateFile() Disk open error");
        return 0;
    }

    const DWORD n = image.FullBlocks();
    const DWORD r = image.Remainder();
    CGlobalBlock stp(kStpBlockSize);
    if (!stp.IsValid()) {
        m_nExitCode = EXIT_TRANSFER_FAILED;
        ::CloseHandle(hController);
        return 0;
    }
    UpdateProgress* pProgress = ShowUpdateProgress(
        Widen(szModel).c_str(), Widen(szFwRevision).c_str(), pszNewFwRevision, static_cast<int>(n));
    const BYTE bPort = static_cast<BYTE>(m_nCsmiPort & 0xFF);

    // One command; false (with the exit code and lines set) when it failed.
    auto sendBlock = [&](DWORD i) {
        const StpBlockResult result =
            SendStpDownloadBlock(hController, stp, bPort, m_ullSasAddress, image.Block(i), i);
        if (result == StpBlockResult::CallFailed) {
            const DWORD dwError = ::GetLastError();
            m_nExitCode = EXIT_TRANSFER_FAILED;
            WriteLog("### ERROR!! <DeviceIoControl() Transfer error(1)> ###\n");
            WriteLog("GetLastError() = %d(0x%08X)\n", static_cast<int>(dwError), dwError);
            return false;
        }
        if (result == StpBlockResult::Sent) {
            return true;
        }
        m_nExitCode = EXIT_TRANSFER_FAILED;
        WriteLog("### ERROR!! <DeviceIoControl() status error(1)> ###\n");
        if (result == StpBlockResult::NotConnected) {
            WriteLog("bConnectionStatus = 0x%02X\n", StpConnectionStatus(stp));
        } else if (result == StpBlockResult::DriverFailed) {
            WriteLog("ReturnCode = 0x%08X\n", CsmiReturnCode(stp));
        } else {
            WriteLog("bStatusFIS[2] = 0x%02X\n", StpDriveStatus(stp));
        }
        return false;
    };

    bool bSucceeded = false;
    for (DWORD dwAttempt = 0; dwAttempt <= dwRetryCount && !bSucceeded; ++dwAttempt) {
        m_nExitCode = EXIT_UPDATE_SUCCESS;
        bool bFullBlocksSent = true;
        for (DWORD i = 0; i < n; ++i) {
            if (!sendBlock(i)) {
                bFullBlocksSent = false;
                break;
            }
            pProgress->SetProgressPos(static_cast<int>(i + 5));
        }
        if (!bFullBlocksSent) {
            continue;
        }
        bSucceeded = r == 0 || sendBlock(n);
        pProgress->SetProgressPos(static_cast<int>(n));
    }
    CloseUpdateProgress(pProgress);
    ::CloseHandle(hController);
    return bSucceeded ? 1 : 0;
}
