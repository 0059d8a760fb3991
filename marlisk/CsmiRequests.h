// The CSMI requests of the RAID path: the RAID configuration of set 0 and STP pass-through
// blocks carrying IDENTIFY DEVICE or one DOWNLOAD MICROCODE block. Request blocks are
// zero-filled movable global memory, as the drivers expect.
#pragma once

#include <windows.h>

#include <csmi.h>

constexpr DWORD kRaidConfigBlockSize = 1152; // header, configuration and 8 drive entries
constexpr DWORD kRaidConfigDriveEntries = 8;
constexpr DWORD kStpBlockSize = 680; // 164 bytes of request and 516 of data area
constexpr DWORD kStpDataOffset = offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, bDataBuffer);
constexpr ULONG kCsmiTimeoutSeconds = 60;

// A zero-filled movable global block, locked while the object lives.
class CGlobalBlock {
public:
    explicit CGlobalBlock(DWORD dwSize);
    ~CGlobalBlock();
    CGlobalBlock(const CGlobalBlock&) = delete;
    CGlobalBlock& operator=(const CGlobalBlock&) = delete;

    BYTE* Data() const { return m_pData; }
    DWORD Size() const { return m_dwSize; }
    bool IsValid() const { return m_pData != nullptr; }
    void Zero();

private:
    HGLOBAL m_hBlock = nullptr;
    BYTE* m_pData = nullptr;
    DWORD m_dwSize = 0;
};

// "\\.\SCSI<n>:" for controller numbers 0 to 9.
void FormatControllerPath(int nController, WCHAR* pszPath, int nChars);

// The 8 address bytes, most significant first.
void SasAddressBytes(ULONGLONG ullAddress, UCHAR* pBytes);
ULONGLONG SasAddressFromBytes(const UCHAR* pBytes);

void FillRaidConfigRequest(CGlobalBlock& block);
void FillStpIdentify(CGlobalBlock& block, BYTE bPort, ULONGLONG ullSasAddress);
// One 512-byte block (the last one padded) at block offset dwBlockOffset.
void FillStpDownloadBlock(CGlobalBlock& block, BYTE bPort, ULONGLONG ullSasAddress,
                          const BYTE* pBlock, DWORD dwBlockOffset);

// Sends the block to the controller with IOCTL_SCSI_MINIPORT, in and out in the same buffer.
BOOL SendCsmiRequest(HANDLE hController, CGlobalBlock& block);

// What the controller answered to an STP pass-through block.
BYTE StpConnectionStatus(const CGlobalBlock& block);
ULONG CsmiReturnCode(const CGlobalBlock& block);
BYTE StpDriveStatus(const CGlobalBlock& block); // status register of the returned FIS
bool StpStatusFisIsZero(const CGlobalBlock& block);

enum class StpBlockResult {
    Sent,
    CallFailed,   // DeviceIoControl failed; the thread's last error tells why
    NotConnected, // bConnectionStatus is not 0
    DriverFailed, // the header's ReturnCode is not success
    DriveFailed,  // the drive's status has ERR, DF or BSY
    NoStatus      // the driver left the status FIS zero: what the drive did is unknown
};

// Fills the block for one image block and sends it. A command counts only when the call
// succeeded, the connection was accepted, the driver reported success and the drive's status
// came back with none of ERR, DF and BSY (a busy drive did not complete it).
StpBlockResult SendStpDownloadBlock(HANDLE hController, CGlobalBlock& block, BYTE bPort,
                                    ULONGLONG ullSasAddress, const BYTE* pBlock,
                                    DWORD dwBlockOffset);
