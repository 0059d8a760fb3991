#include "CsmiBus.h"

#include "Console.h"
#include "DownloadPlan.h"
#include "ResultCodes.h"

#include <ata.h>
#include <csmi.h>

#include <cstddef>
#include <cstring>
#include <string>

namespace {
constexpr ULONG CSMI_TIMEOUT_S = 300;
constexpr int SAS_ADDRESS_DIGITS = 2 * CCsmiBus::SAS_ADDRESS_BYTES;
constexpr DWORD STP_BLOCK_OVERHEAD = sizeof(CSMI_SAS_STP_PASSTHRU_BUFFER);

// The signature a driver expects with each control code; null for codes the bus knows not.
const char* SignatureFor(DWORD dwControlCode) {
    switch (dwControlCode) {
    case CC_CSMI_SAS_GET_DRIVER_INFO:
        return CSMI_ALL_SIGNATURE;
    case CC_CSMI_SAS_GET_RAID_INFO:
    case CC_CSMI_SAS_GET_RAID_CONFIG:
        return CSMI_RAID_SIGNATURE;
    case CC_CSMI_SAS_GET_PHY_INFO:
    case CC_CSMI_SAS_STP_PASSTHRU:
        return CSMI_SAS_SIGNATURE;
    case CC_CSMI_SAS_PHY_CONTROL:
        return CSMI_PHY_SIGNATURE;
    default:
        return nullptr;
    }
}

int HexDigit(char ch) {
    if (ch >= '0' && ch <= '9') {
        return ch - '0';
    }
    if (ch >= 'A' && ch <= 'F') {
        return ch - 'A' + 10;
    }
    if (ch >= 'a' && ch <= 'f') {
        return ch - 'a' + 10;
    }
    return 0;
}

bool IsAllZero(const BYTE (&fis)[20]) {
    for (BYTE b : fis) {
        if (b != 0) {
            return false;
        }
    }
    return true;
}

// The text as single bytes; what the ANSI code page cannot hold becomes '?', as it does there.
std::string ToAnsi(const CString& str) {
    std::string text;
    for (int i = 0; i < str.GetLength(); ++i) {
        const wchar_t ch = str.GetAt(i);
        text += ch < 0x80 ? static_cast<char>(ch) : '?';
    }
    return text;
}
} // namespace

CCsmiBus::CCsmiBus(const CString& strController, const CString& strSasAddress)
    : m_strController(strController), m_strSasAddress(strSasAddress) {}

int CCsmiBus::Open() {
    CString strPath;
    strPath.Format(L"\\\\.\\Scsi%ls:", m_strController.GetString());
    Print(L"Opening device %ls for update.\n", strPath.GetString());
    m_hDevice =
        ::CreateFileW(strPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (m_hDevice == INVALID_HANDLE_VALUE) {
        VerbosePrint(L"Unable to open device, GetLastError = 0x%x\n", ::GetLastError());
        return NU_OPEN_FAILED;
    }
    const std::string text = ToAnsi(m_strSasAddress);
    int nResult = NU_SUCCESS;
    // Eight bytes need sixteen digits: fewer would leave bytes of the address unset, and a
    // mistyped digit read as 0 could name another drive of the controller.
    if (text.size() != SAS_ADDRESS_DIGITS) {
        VerbosePrint(L"Invalid SAS address length\n");
        nResult = NU_BAD_ARGUMENTS;
    } else if (text.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos) {
        VerbosePrint(L"Invalid SAS address digit\n");
        nResult = NU_BAD_ARGUMENTS;
    }
    ParseSasAddress(text.c_str(), m_sasAddress);
    return nResult;
}

void CCsmiBus::ParseSasAddress(const char* pszText, BYTE (&address)[SAS_ADDRESS_BYTES]) {
    for (int i = 0; i < SAS_ADDRESS_BYTES && pszText[0] != '\0' && pszText[1] != '\0';
         ++i, pszText += 2) {
        address[i] = static_cast<BYTE>(HexDigit(pszText[0]) * 16 + HexDigit(pszText[1]));
    }
}

int CCsmiBus::IdentifyDevice(BYTE* pBuffer, DWORD dwLength) {
    AtaRequest command;
    command.command = ATA_IDENTIFY_DEVICE;
    command.count = static_cast<BYTE>(dwLength / MICROCODE_BLOCK_BYTES);
    command.buffer = pBuffer;
    command.length = dwLength;
    command.dataIn = true;
    AtaRequest returned;
    return StpPassThrough(command, returned);
}

int CCsmiBus::DownloadMicrocode(const BYTE* pImage, DWORD dwLength) {
    if (dwLength == 0) {
        return NU_NO_DATA_OR_MEMORY;
    }
    if (!FitsBlockAddressing(dwLength, DOWNLOAD_CHUNK_BYTES)) {
        VerbosePrint(L"Image of %u bytes is too large for the block offsets\n", dwLength);
        return NU_NO_DATA_OR_MEMORY;
    }
    for (DWORD dwOffset = 0; dwOffset < dwLength;) {
        const MicrocodeChunk chunk = MicrocodeChunkAt(dwOffset, dwLength, DOWNLOAD_CHUNK_BYTES);
        AtaRequest command;
        command.command = ATA_DOWNLOAD_MICROCODE;
        command.features = ATA_DM_OFFSETS_DEFERRED;
        command.count = static_cast<BYTE>(chunk.wBlockCount & 0xFF);
        command.lbaLow = static_cast<BYTE>(chunk.wBlockCount >> 8);
        command.lbaMid = static_cast<BYTE>(chunk.wBlockOffset & 0xFF);
        command.lbaHigh = static_cast<BYTE>(chunk.wBlockOffset >> 8);
        // Only read: a write copies the chunk into the request block.
        command.buffer = const_cast<BYTE*>(pImage + dwOffset);
        command.length = chunk.dwTransferLength;
        command.sourceLength = chunk.dwLength;
        command.dataIn = false;
        AtaRequest returned;
        const int nResult = StpPassThrough(command, returned);
        if (nResult != NU_SUCCESS) {
            return nResult;
        }
        dwOffset += chunk.dwLength;
    }
    return NU_SUCCESS;
}

int CCsmiBus::DisableSettingsPreservation() {
    return NU_NOT_OFFERED;
}

int CCsmiBus::ReadPassThroughData() {
    return NU_NOT_OFFERED;
}

int CCsmiBus::StpPassThrough(const AtaRequest& command, AtaRequest& returned) {
    const DWORD dwSize = command.length + STP_BLOCK_OVERHEAD;
    auto* pBlock = static_cast<BYTE*>(AllocBuffer(dwSize));
    if (pBlock == nullptr) {
        return NU_NO_DATA_OR_MEMORY;
    }
    std::memset(pBlock, 0, dwSize);
    auto* pRequest = reinterpret_cast<CSMI_SAS_STP_PASSTHRU_BUFFER*>(pBlock);
    CSMI_SAS_STP_PASSTHRU& params = pRequest->Parameters;
    params.bConnectionRate = CSMI_SAS_LINK_RATE_NEGOTIATED;
    std::memcpy(params.bDestinationSASAddress, m_sasAddress, sizeof(m_sasAddress));
    BYTE* fis = params.bCommandFIS;
    fis[FIS_H2D_TYPE] = FIS_TYPE_REG_H2D;
    fis[FIS_H2D_FLAGS] = FIS_H2D_COMMAND_BIT;
    fis[FIS_H2D_COMMAND] = command.command;
    fis[FIS_H2D_FEATURES] = command.features;
    fis[FIS_H2D_LBA_LOW] = command.lbaLow;
    fis[FIS_H2D_LBA_MID] = command.lbaMid;
    fis[FIS_H2D_LBA_HIGH] = command.lbaHigh;
    fis[FIS_H2D_COUNT] = command.count;
    params.uFlags = (command.dataIn ? CSMI_SAS_STP_READ : CSMI_SAS_STP_WRITE) | CSMI_SAS_STP_PIO;
    params.uDataLength = command.length;
    BYTE* pData = pBlock + offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, bDataBuffer);
    if (!command.dataIn) {
        std::memcpy(pData, command.buffer, command.sourceLength);
    }

    int nResult = CsmiIoctl(pBlock, dwSize, CC_CSMI_SAS_STP_PASSTHRU);
    if (nResult == NU_SUCCESS && pRequest->Status.bConnectionStatus != CSMI_SAS_OPEN_ACCEPT) {
        // The controller could not reach the addressed drive: nothing was executed.
        VerbosePrint(L"STP connection failed, bConnectionStatus = 0x%x\n",
                     pRequest->Status.bConnectionStatus);
        nResult = NU_IOCTL_FAILED;
    }
    if (nResult == NU_SUCCESS && command.command == ATA_DOWNLOAD_MICROCODE &&
        IsAllZero(pRequest->Status.bStatusFIS)) {
        // A status part left zero shows nothing of what the drive did, and some drivers report
        // success after a controller error: the chunk cannot count as received.
        VerbosePrint(L"STP status not returned\n");
        nResult = NU_DRIVE_ERROR;
    }
    if (nResult == NU_SUCCESS) {
        const BYTE* status = pRequest->Status.bStatusFIS;
        returned.status = status[FIS_D2H_STATUS];
        returned.error = status[FIS_D2H_ERROR];
        returned.lbaLow = status[FIS_D2H_LBA_LOW];
        returned.lbaMid = status[FIS_D2H_LBA_MID];
        returned.lbaHigh = status[FIS_D2H_LBA_HIGH];
        returned.count = status[FIS_D2H_COUNT];
        VerbosePrint(L"status = 0x%x, error = 0x%x\n", returned.status, returned.error);
        if ((returned.status & ATA_STATUS_ERR) != 0) {
            nResult = (returned.error & ATA_ERROR_ABRT) != 0 ? NU_DRIVE_ABORTED : NU_DRIVE_ERROR;
        } else if ((returned.status & (ATA_STATUS_DF | ATA_STATUS_BSY)) != 0) {
            // A device fault, or still busy: the command did not complete, and its data may
            // not have arrived.
            nResult = NU_DRIVE_ERROR;
        } else if (command.dataIn) {
            std::memcpy(command.buffer, pData, command.length);
        }
    }
    FreeBuffer(pBlock);
    return nResult;
}

int CCsmiBus::CsmiIoctl(BYTE* pBlock, DWORD dwSize, DWORD dwControlCode) {
    const char* pszSignature = SignatureFor(dwControlCode);
    if (pszSignature == nullptr) {
        return NU_NO_DATA_OR_MEMORY;
    }
    auto* pHeader = reinterpret_cast<IOCTL_HEADER*>(pBlock);
    pHeader->HeaderLength = sizeof(IOCTL_HEADER);
    std::memcpy(pHeader->Signature, pszSignature, sizeof(pHeader->Signature));
    pHeader->Timeout = CSMI_TIMEOUT_S;
    pHeader->ControlCode = dwControlCode;
    pHeader->ReturnCode = CSMI_SAS_STATUS_SUCCESS;
    pHeader->Length = dwSize - static_cast<ULONG>(sizeof(IOCTL_HEADER));

    DWORD dwBytesReturned = 0;
    if (!::DeviceIoControl(m_hDevice, IOCTL_SCSI_MINIPORT, pBlock, dwSize, pBlock, dwSize,
                           &dwBytesReturned, nullptr)) {
        VerbosePrint(L"DeviceIoControl failed, GetLastError = 0x%x\n", ::GetLastError());
        return NU_IOCTL_FAILED;
    }
    if (pHeader->ReturnCode != CSMI_SAS_STATUS_SUCCESS) {
        VerbosePrint(L"CSMI call failed, ReturnCode = 0x%x\n", pHeader->ReturnCode);
        return NU_IOCTL_FAILED;
    }
    return NU_SUCCESS;
}
