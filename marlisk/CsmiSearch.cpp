// Finding the drive named by "/c:" behind a CSMI RAID controller: the first controller whose
// RAID set 0 lists the SAS address, then IDENTIFY DEVICE through STP pass-through.
#include "DravHDDUpdateApp.h"

#include "CsmiRequests.h"
#include "DriveDiscovery.h"

#include <ata.h>

#include <cstring>

namespace {

// An IDENTIFY text as bytes: each word's bytes exchanged so the text reads in order; trailing
// blanks kept.
void CopyIdentifyBytes(const BYTE* pIdentify, int nFirstWord, int nWords, char* pszText) {
    for (int i = 0; i < nWords; ++i) {
        pszText[i * 2] = static_cast<char>(pIdentify[(nFirstWord + i) * 2 + 1]);
        pszText[i * 2 + 1] = static_cast<char>(pIdentify[(nFirstWord + i) * 2]);
    }
    pszText[nWords * 2] = '\0';
}

bool RaidSetListsAddress(const CGlobalBlock& config, ULONGLONG ullSasAddress) {
    const BYTE* pData = config.Data();
    DWORD dwCount = pData[offsetof(CSMI_SAS_RAID_CONFIG_BUFFER, Configuration.bDriveCount)];
    // A count above what the block holds compares only the entries inside it.
    if (dwCount > kRaidConfigDriveEntries) {
        dwCount = kRaidConfigDriveEntries;
    }
    const DWORD dwDrivesAt = offsetof(CSMI_SAS_RAID_CONFIG_BUFFER, Configuration.Drives);
    for (DWORD i = 0; i < dwCount; ++i) {
        const BYTE* pEntry = pData + dwDrivesAt + i * sizeof(CSMI_SAS_RAID_DRIVES);
        if (SasAddressFromBytes(pEntry + offsetof(CSMI_SAS_RAID_DRIVES, bSASAddress)) ==
            ullSasAddress) {
            return true;
        }
    }
    return false;
}

} // namespace

int CDravHDDUpdateApp::SearchDeviceCsmi(char* pszFwRevision, char* pszModel, int& nController,
                                        char* pszSerialNo, WORD& wSecurity) {
    nController = 0;
    CGlobalBlock config(kRaidConfigBlockSize);
    if (!config.IsValid()) {
        return 0;
    }
    for (int nNumber = 0; nNumber <= 9; ++nNumber) {
        WCHAR szPath[260] = {};
        FormatControllerPath(nNumber, szPath, 260);
        HANDLE hController =
            ::CreateFileW(szPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
        if (hController == INVALID_HANDLE_VALUE) {
            WriteLog("Cannot find device on SCSI%d\n", nNumber);
            continue;
        }
        FillRaidConfigRequest(config);
        if (!SendCsmiRequest(hController, config)) {
            const DWORD dwError = ::GetLastError();
            WriteLog("Cannot get RAID config on SCSI%d\n", nNumber);
            WriteLog("GetLastError() = %d(0x%08X)\n", static_cast<int>(dwError), dwError);
            ::CloseHandle(hController);
            continue;
        }
        if (!RaidSetListsAddress(config, m_ullSasAddress)) {
            ::CloseHandle(hController);
            continue;
        }
        CGlobalBlock stp(kStpBlockSize);
        if (!stp.IsValid()) {
            ::CloseHandle(hController);
            return 0;
        }
        FillStpIdentify(stp, static_cast<BYTE>(m_nCsmiPort & 0xFF), m_ullSasAddress);
        if (SendCsmiRequest(hController, stp) != TRUE) {
            const DWORD dwError = ::GetLastError();
            WriteLog("### ERROR!! <DeviceIoControl() Read Identify Device error\n");
            WriteLog("GetLastError() = %d(0x%08X)\n", static_cast<int>(dwError), dwError);
            ::CloseHandle(hController);
            return 0;
        }
        const BYTE* pIdentify = stp.Data() + kStpDataOffset;
        CopyIdentifyBytes(pIdentify, ATA_ID_SERIAL_NUMBER, ATA_ID_SERIAL_NUMBER_WORDS, pszSerialNo);
        CopyIdentifyBytes(pIdentify, ATA_ID_FIRMWARE_REVISION, ATA_ID_FIRMWARE_REVISION_WORDS,
                          pszFwRevision);
        CopyIdentifyBytes(pIdentify, ATA_ID_MODEL_NUMBER, ATA_ID_MODEL_NUMBER_WORDS, pszModel);
        wSecurity = static_cast<WORD>(pIdentify[2 * ATA_ID_SECURITY_STATUS + 1] * 256 +
                                      pIdentify[2 * ATA_ID_SECURITY_STATUS]);
        nController = std::memcmp(pszModel, "DRAVONI KX", 10) == 0 ? nNumber : kNoCsmiController;
        ::CloseHandle(hController);
        return 1;
    }
    nController = kNoCsmiController;
    return 1;
}
