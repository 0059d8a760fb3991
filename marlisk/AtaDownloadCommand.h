// The DOWNLOAD MICROCODE request for one 512-byte block over Windows ATA pass-through:
// subcommand 0Eh (offsets, save for immediate and future use), one block at block offset.
#pragma once

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>
#include <ata.h>

constexpr ULONG kCommandTimeoutSeconds = 60;
// ERR, DF and BSY in a returned status: the drive did not complete the command.
constexpr BYTE ATA_STATUS_FAILED_BITS = ATA_STATUS_ERR | ATA_STATUS_DF | ATA_STATUS_BSY;

void FillAtaDownloadBlock(ATA_PASS_THROUGH_DIRECT& ata, const BYTE* pBlock, DWORD dwBlockOffset);

enum class AtaBlockResult {
    Sent,
    CallFailed, // DeviceIoControl failed; the thread's last error tells why
    DriveFailed // the status register has ERR, DF or BSY (ata holds the returned registers)
};

// Fills ata for the block and sends it with IOCTL_ATA_PASS_THROUGH_DIRECT, the block in place.
AtaBlockResult SendAtaDownloadBlock(HANDLE hDisk, ATA_PASS_THROUGH_DIRECT& ata, const BYTE* pBlock,
                                    DWORD dwBlockOffset);
