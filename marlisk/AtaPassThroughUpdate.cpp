// The update through Windows ATA pass-through: the image one 512-byte block per DOWNLOAD
// MICROCODE command, the whole transfer repeated from block 0 after a failure.
#include "DravHDDUpdateApp.h"

#include "AtaDownloadCommand.h"
#include "ExitCodes.h"
#include "UpdateProgress.h"

#include <winioctl.h>

#include <algorithm>
#include <vector>

namespace {

// The adapter answers a property query: the header first, then the whole descriptor.
int CheckStorageAdapter(HANDLE hDisk) {
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageAdapterProperty;
    query.QueryType = PropertyStandardQuery;
    STORAGE_DESCRIPTOR_HEADER header{};
    DWORD dwReturned = 0;
    if (!::DeviceIoControl(hDisk, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &header,
                           sizeof header, &dwReturned, nullptr)) {
        return 1;
    }
    // A size no adapter descriptor comes near is a broken answer, not an allocation to try:
    // 4 GiB would end a 32-bit process.
    constexpr DWORD kLargestDescriptor = 0x10000;
    if (header.Size > kLargestDescriptor) {
        return 2;
    }
    std::vector<BYTE> descriptor(std::max<DWORD>(header.Size, sizeof header));
    if (!::DeviceIoControl(hDisk, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                           descriptor.data(), static_cast<DWORD>(descriptor.size()), &dwReturned,
                           nullptr)) {
        return 2;
    }
    return 0;
}

} // namespace

int CDravHDDUpdateApp::UpdateByAtaPassThrough(const WCHAR* pszNewFwRevision,
                                              const WCHAR* pszFirmwareFile, const HDD_INFO& drive,
                                              DWORD dwRetryCount) {
    ImageBuffer image;
    if (!LoadFirmwareImage(pszFirmwareFile, "", image)) {
        return 0;
    }

    HANDLE hDisk = ::CreateFileW(drive.szDevicePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_SYSTEM, nullptr);
    if (hDisk == INVALID_HANDLE_VALUE) {
        m_nExitCode = EXIT_OPEN_FAILED;
        WriteErrorWithExitCode("CreateFile() Disk open error");
        return 0;
    }
    const int nAdapterFailure = CheckStorageAdapter(hDisk);
    if (nAdapterFailure != 0) {
        m_nExitCode = EXIT_ADAPTER_QUERY_FAILED;
        WriteErrorWithExitCode(nAdapterFailure == 1 ? "DeviceIoControl() Get haeder size error(1)"
                                                    : "DeviceIoControl() Get haeder size error(2)");
        ::CloseHandle(hDisk);
        return 0;
    }

    const DWORD n = image.FullBlocks();
    const DWORD r = image.Remainder();
    UpdateProgress* pProgress = ShowUpdateProgress(drive.szModel, drive.szFwRevision,
                                                   pszNewFwRevision, static_cast<int>(n));
    ATA_PASS_THROUGH_DIRECT ata{};
    // One command; false (with the exit code and lines set) when it failed. The final
    // partial chunk is padded to a whole block at offset n and logged with "(2)".
    auto sendBlock = [&](DWORD i, bool bFinalChunk) {
        const AtaBlockResult result = SendAtaDownloadBlock(hDisk, ata, image.Block(i), i);
        if (result == AtaBlockResult::CallFailed) {
            const DWORD dwError = ::GetLastError();
            m_nExitCode = EXIT_TRANSFER_FAILED;
            WriteLog(bFinalChunk ? "### ERROR!! <DeviceIoControl() Transfer error(2)> ###\n"
                                 : "### ERROR!! <DeviceIoControl() Transfer error(1)> ###\n");
            WriteLog("GetLastError() = %d(0x%08X)\n", static_cast<int>(dwError), dwError);
            return false;
        }
        if (result == AtaBlockResult::DriveFailed) {
            m_nExitCode = EXIT_TRANSFER_FAILED;
            WriteLog(bFinalChunk ? "### ERROR!! <DeviceIoControl() status error(2)> ###\n"
                                 : "### ERROR!! <DeviceIoControl() status error(1)> ###\n");
            WriteLog("pAta->CurrentTaskFile[6] = 0x%02X\n", ata.CurrentTaskFile[6]);
            return false;
        }
        return true;
    };

    bool bSucceeded = false;
    for (DWORD dwAttempt = 0; dwAttempt <= dwRetryCount && !bSucceeded; ++dwAttempt) {
        m_nExitCode = EXIT_UPDATE_SUCCESS;
        bool bFullBlocksSent = true;
        for (DWORD i = 0; i < n; ++i) {
            if (!sendBlock(i, false)) {
                bFullBlocksSent = false;
                break;
            }
            // i + 5, not i + 1: the bar clamps what lies above its range.
            pProgress->SetProgressPos(static_cast<int>(i + 5));
        }
        if (!bFullBlocksSent) {
            continue;
        }
        bSucceeded = r == 0 || sendBlock(n, true);
        pProgress->SetProgressPos(static_cast<int>(n));
    }
    CloseUpdateProgress(pProgress);
    ::CloseHandle(hDisk);
    return bSucceeded ? 1 : 0;
}
