#include "AtaDownloadCommand.h"

#include "ImageBuffer.h"

void FillAtaDownloadBlock(ATA_PASS_THROUGH_DIRECT& ata, const BYTE* pBlock, DWORD dwBlockOffset) {
    ata = ATA_PASS_THROUGH_DIRECT{};
    ata.Length = sizeof(ATA_PASS_THROUGH_DIRECT);
    ata.AtaFlags = ATA_FLAGS_DRDY_REQUIRED | ATA_FLAGS_DATA_OUT;
    ata.DataTransferLength = kBlockSize;
    ata.TimeOutValue = kCommandTimeoutSeconds;
    // The drive only reads the block; the interface wants a writable pointer.
    ata.DataBuffer = const_cast<BYTE*>(pBlock);
    ata.CurrentTaskFile[0] = ATA_DM_OFFSETS_DEFERRED;
    ata.CurrentTaskFile[1] = 0x01; // block count, low byte
    ata.CurrentTaskFile[2] = 0x00; // block count, high byte
    ata.CurrentTaskFile[3] = static_cast<BYTE>(dwBlockOffset & 0xFF);
    ata.CurrentTaskFile[4] = static_cast<BYTE>((dwBlockOffset >> 8) & 0xFF);
    ata.CurrentTaskFile[5] = 0x00;
    ata.CurrentTaskFile[6] = ATA_DOWNLOAD_MICROCODE;
}

AtaBlockResult SendAtaDownloadBlock(HANDLE hDisk, ATA_PASS_THROUGH_DIRECT& ata, const BYTE* pBlock,
                                    DWORD dwBlockOffset) {
    FillAtaDownloadBlock(ata, pBlock, dwBlockOffset);
    DWORD dwReturned = 0;
    if (!::DeviceIoControl(hDisk, IOCTL_ATA_PASS_THROUGH_DIRECT, &ata, sizeof ata, &ata, sizeof ata,
                           &dwReturned, nullptr)) {
        return AtaBlockResult::CallFailed;
    }
    if ((ata.CurrentTaskFile[6] & ATA_STATUS_FAILED_BITS) != 0) {
        return AtaBlockResult::DriveFailed;
    }
    return AtaBlockResult::Sent;
}
