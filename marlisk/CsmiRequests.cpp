#include "CsmiRequests.h"

#include "AtaDownloadCommand.h"
#include "ImageBuffer.h"

#include <ntddscsi.h>
#include <ata.h>

#include <cstring>
#include <cwchar>

CGlobalBlock::CGlobalBlock(DWORD dwSize) : m_dwSize(dwSize) {
    m_hBlock = ::GlobalAlloc(GHND, dwSize);
    if (m_hBlock != nullptr) {
        m_pData = static_cast<BYTE*>(::GlobalLock(m_hBlock));
    }
}

CGlobalBlock::~CGlobalBlock() {
    if (m_hBlock != nullptr) {
        ::GlobalUnlock(m_hBlock);
        ::GlobalFree(m_hBlock);
    }
}

void CGlobalBlock::Zero() {
    std::memset(m_pData, 0, m_dwSize);
}

void FormatControllerPath(int nController, WCHAR* pszPath, int nChars) {
    std::swprintf(pszPath, static_cast<size_t>(nChars), L"\\\\.\\SCSI%d:", nController);
}

void SasAddressBytes(ULONGLONG ullAddress, UCHAR* pBytes) {
    for (int i = 0; i < 8; ++i) {
        pBytes[i] = static_cast<UCHAR>(ullAddress >> (56 - 8 * i));
    }
}

ULONGLONG SasAddressFromBytes(const UCHAR* pBytes) {
    ULONGLONG ullAddress = 0;
    for (int i = 0; i < 8; ++i) {
        ullAddress = (ullAddress << 8) | pBytes[i];
    }
    return ullAddress;
}

namespace {

void FillHeader(CGlobalBlock& block, const char* pszSignature, ULONG uControlCode) {
    IOCTL_HEADER header{};
    header.HeaderLength = sizeof(IOCTL_HEADER);
    std::memcpy(header.Signature, pszSignature, 8); // seven letters and the zero byte
    header.Timeout = kCsmiTimeoutSeconds;
    header.ControlCode = uControlCode;
    header.ReturnCode = 0;
    header.Length = block.Size() - static_cast<ULONG>(sizeof(IOCTL_HEADER));
    std::memcpy(block.Data(), &header, sizeof header);
}

void FillStp(CGlobalBlock& block, BYTE bPort, ULONGLONG ullSasAddress, const BYTE (&fis)[20],
             ULONG uFlags, ULONG uDataLength) {
    FillHeader(block, CSMI_SAS_SIGNATURE, CC_CSMI_SAS_STP_PASSTHRU);
    CSMI_SAS_STP_PASSTHRU parameters{};
    parameters.bPhyIdentifier = 0;
    parameters.bPortIdentifier = bPort;
    parameters.bConnectionRate = CSMI_SAS_LINK_RATE_NEGOTIATED;
    SasAddressBytes(ullSasAddress, parameters.bDestinationSASAddress);
    std::memcpy(parameters.bCommandFIS, fis, sizeof fis);
    parameters.uFlags = uFlags;
    parameters.uDataLength = uDataLength;
    std::memcpy(block.Data() + offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Parameters), &parameters,
                sizeof parameters);
}

} // namespace

void FillRaidConfigRequest(CGlobalBlock& block) {
    block.Zero();
    FillHeader(block, CSMI_RAID_SIGNATURE, CC_CSMI_SAS_GET_RAID_CONFIG);
    const ULONG uRaidSetIndex = 0; // only the first RAID set of a controller is examined
    std::memcpy(block.Data() + offsetof(CSMI_SAS_RAID_CONFIG_BUFFER, Configuration.uRaidSetIndex),
                &uRaidSetIndex, sizeof uRaidSetIndex);
}

void FillStpIdentify(CGlobalBlock& block, BYTE bPort, ULONGLONG ullSasAddress) {
    block.Zero();
    BYTE fis[20] = {};
    fis[FIS_H2D_TYPE] = FIS_TYPE_REG_H2D;
    fis[FIS_H2D_FLAGS] = FIS_H2D_COMMAND_BIT;
    fis[FIS_H2D_COMMAND] = ATA_IDENTIFY_DEVICE;
    fis[FIS_H2D_DEVICE] = ATA_DEVICE_OBSOLETE;
    FillStp(block, bPort, ullSasAddress, fis, CSMI_SAS_STP_READ | CSMI_SAS_STP_PIO, 512);
}

void FillStpDownloadBlock(CGlobalBlock& block, BYTE bPort, ULONGLONG ullSasAddress,
                          const BYTE* pBlock, DWORD dwBlockOffset) {
    block.Zero();
    BYTE fis[20] = {};
    fis[FIS_H2D_TYPE] = FIS_TYPE_REG_H2D;
    fis[FIS_H2D_FLAGS] = FIS_H2D_COMMAND_BIT;
    fis[FIS_H2D_COMMAND] = ATA_DOWNLOAD_MICROCODE;
    fis[FIS_H2D_FEATURES] = ATA_DM_OFFSETS_DEFERRED;
    // One block: the count in COUNT (low byte) and LBA low (high byte), the block offset in
    // LBA mid (low byte) and LBA high (high byte).
    fis[FIS_H2D_COUNT] = 0x01;
    fis[FIS_H2D_LBA_LOW] = 0x00;
    fis[FIS_H2D_LBA_MID] = static_cast<BYTE>(dwBlockOffset & 0xFF);
    fis[FIS_H2D_LBA_HIGH] = static_cast<BYTE>((dwBlockOffset >> 8) & 0xFF);
    fis[FIS_H2D_DEVICE] = 0x00;
    FillStp(block, bPort, ullSasAddress, fis, CSMI_SAS_STP_WRITE | CSMI_SAS_STP_PIO, kBlockSize);
    std::memcpy(block.Data() + kStpDataOffset, pBlock, kBlockSize);
}

BOOL SendCsmiRequest(HANDLE hController, CGlobalBlock& block) {
    DWORD dwReturned = 0;
    return ::DeviceIoControl(hController, IOCTL_SCSI_MINIPORT, block.Data(), block.Size(),
                             block.Data(), block.Size(), &dwReturned, nullptr);
}

BYTE StpConnectionStatus(const CGlobalBlock& block) {
    return block.Data()[offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Status.bConnectionStatus)];
}

ULONG CsmiReturnCode(const CGlobalBlock& block) {
    ULONG uReturnCode = 0;
    std::memcpy(&uReturnCode, block.Data() + offsetof(IOCTL_HEADER, ReturnCode),
                sizeof uReturnCode);
    return uReturnCode;
}

BYTE StpDriveStatus(const CGlobalBlock& block) {
    return block.Data()[offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Status.bStatusFIS) + FIS_D2H_STATUS];
}

bool StpStatusFisIsZero(const CGlobalBlock& block) {
    const BYTE* pFis = block.Data() + offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Status.bStatusFIS);
    for (DWORD i = 0; i < sizeof(CSMI_SAS_STP_PASSTHRU_STATUS::bStatusFIS); ++i) {
        if (pFis[i] != 0) {
            return false;
        }
    }
    return true;
}

StpBlockResult SendStpDownloadBlock(HANDLE hController, CGlobalBlock& block, BYTE bPort,
                                    ULONGLONG ullSasAddress, const BYTE* pBlock,
                                    DWORD dwBlockOffset) {
    FillStpDownloadBlock(block, bPort, ullSasAddress, pBlock, dwBlockOffset);
    if (!SendCsmiRequest(hController, block)) {
        return StpBlockResult::CallFailed;
    }
    if (StpConnectionStatus(block) != 0) {
        return StpBlockResult::NotConnected;
    }
    if (CsmiReturnCode(block) != CSMI_SAS_STATUS_SUCCESS) {
        return StpBlockResult::DriverFailed;
    }
    // Some drivers report success after a controller error; then only the status FIS shows
    // the outcome, and twenty zero bytes show none.
    if (StpStatusFisIsZero(block)) {
        return StpBlockResult::NoStatus;
    }
    if ((StpDriveStatus(block) & ATA_STATUS_FAILED_BITS) != 0) {
        return StpBlockResult::DriveFailed;
    }
    return StpBlockResult::Sent;
}
