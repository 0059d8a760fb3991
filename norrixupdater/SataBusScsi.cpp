// The SATA bus's SCSI pass-through operations: an ATA PASS-THROUGH (12) CDB in a buffered
// IOCTL_SCSI_PASS_THROUGH request. The update flow does not use them.
#include "SataBus.h"

#include "Console.h"
#include "ResultCodes.h"

#include <ata.h>

#include <cstddef>

namespace {
constexpr UCHAR SENSE_BYTES_ASKED = 24;

// The request block: header, filler, sense area, data area (592 bytes in a 32-bit program).
struct ScsiRequestBlock {
    SCSI_PASS_THROUGH header;
    ULONG ulFiller;
    UCHAR ucSense[32];
    UCHAR ucData[512];
};

static_assert(sizeof(void*) != 4 ||
                  (sizeof(SCSI_PASS_THROUGH) == 44 && offsetof(ScsiRequestBlock, ucSense) == 48 &&
                   offsetof(ScsiRequestBlock, ucData) == 80 && sizeof(ScsiRequestBlock) == 592),
              "the 32-bit request block layout");
} // namespace

int CSataBus::DisableSettingsPreservation() {
    // SET FEATURES, non-data: disables the SATA feature software settings preservation.
    BYTE cdb[SAT_CDB12_BYTES] = {};
    cdb[SAT12_OPERATION_CODE] = SAT_ATA_PASS_THROUGH_12;
    cdb[SAT12_PROTOCOL] = SAT_PROTOCOL_NON_DATA << SAT_PROTOCOL_SHIFT;
    cdb[SAT12_FLAGS] = SAT_T_DIR_IN | SAT_BYT_BLOK | SAT_T_LENGTH_COUNT;
    cdb[SAT12_FEATURES] = ATA_SF_DISABLE_SATA_FEATURE;
    cdb[SAT12_COUNT] = ATA_SATA_FEATURE_SETTINGS_PRESERVATION;
    cdb[SAT12_COMMAND] = ATA_SET_FEATURES;
    return SendScsiPassThrough(cdb, 0, 2, offsetof(ScsiRequestBlock, ucData));
}

int CSataBus::ReadPassThroughData() {
    const BYTE cdb[SAT_CDB12_BYTES] = {SAT_ATA_PASS_THROUGH_12};
    return SendScsiPassThrough(cdb, sizeof(ScsiRequestBlock::ucData), 20, sizeof(ScsiRequestBlock));
}

int CSataBus::SendScsiPassThrough(const BYTE (&cdb)[12], DWORD dwDataLength, DWORD dwTimeOut,
                                  DWORD dwOutputLength) {
    ScsiRequestBlock block{};
    block.header.Length = sizeof(SCSI_PASS_THROUGH);
    block.header.PathId = 0;
    block.header.TargetId = 1;
    block.header.Lun = 0;
    block.header.CdbLength = sizeof(cdb);
    block.header.SenseInfoLength = SENSE_BYTES_ASKED;
    block.header.DataIn = SCSI_IOCTL_DATA_IN;
    block.header.DataTransferLength = dwDataLength;
    block.header.TimeOutValue = dwTimeOut;
    block.header.DataBufferOffset = offsetof(ScsiRequestBlock, ucData);
    block.header.SenseInfoOffset = offsetof(ScsiRequestBlock, ucSense);
    for (size_t i = 0; i < sizeof(cdb); ++i) {
        block.header.Cdb[i] = cdb[i];
    }

    DWORD dwBytesReturned = 0;
    if (!::DeviceIoControl(m_hDevice, IOCTL_SCSI_PASS_THROUGH, &block, sizeof(SCSI_PASS_THROUGH),
                           &block, dwOutputLength, &dwBytesReturned, nullptr)) {
        VerbosePrint(L"ERROR:DeviceIoControl failed, GetLastError = 0x%x\n", ::GetLastError());
        return NU_DRIVE_ERROR;
    }
    if (block.header.ScsiStatus != 0) {
        if (IsVerbose()) {
            PrintScsiSense(reinterpret_cast<const BYTE*>(&block));
        }
        return NU_IOCTL_FAILED;
    }
    return NU_SUCCESS;
}

void CSataBus::PrintScsiSense(const BYTE* pBlock) {
    const auto& header = *reinterpret_cast<const SCSI_PASS_THROUGH*>(pBlock);
    Print(L"SCSI status: %02Xh\n\n", header.ScsiStatus);
    if (header.SenseInfoLength == 0) {
        return;
    }
    Print(L"SCSI Sense Info\n");
    Print(L"-------------------------------------------------------------\n");
    const BYTE* pSense = pBlock + offsetof(ScsiRequestBlock, ucSense);
    for (UCHAR i = 0; i < header.SenseInfoLength; ++i) {
        Print(L"%02X ", pSense[i]);
    }
    Print(L"\n\n");
}
