// The SATA bus: opens a disk by its device path and sends ATA commands to it with Windows ATA
// pass-through.
#pragma once

#include "Bus.h"

#include <appframe/CString.h>

#include <winioctl.h>
#include <ntddscsi.h>

class CSataBus : public CBus {
public:
    explicit CSataBus(const CString& strDevicePath);
    ~CSataBus() override = default;

    int Open() override;
    int IdentifyDevice(BYTE* pBuffer, DWORD dwLength) override;
    int DownloadMicrocode(const BYTE* pImage, DWORD dwLength) override;
    int DisableSettingsPreservation() override;
    int ReadPassThroughData() override;

    static constexpr DWORD DOWNLOAD_CHUNK_BYTES = 0xFC00; // 126 blocks

private:
    DWORD QueryAdapterPageLimit();
    int SendAtaCommand(ATA_PASS_THROUGH_DIRECT& request, DWORD& dwBytesReturned);
    int SendDownloadChunk(const BYTE* pImage, DWORD dwImageLength, DWORD dwOffset);
    int SendScsiPassThrough(const BYTE (&cdb)[12], DWORD dwDataLength, DWORD dwTimeOut,
                            DWORD dwOutputLength);
    void PrintScsiSense(const BYTE* pBlock);

    CString m_strDevicePath;
    DWORD m_dwMaxPhysicalPages = 0; // the adapter's page limit for one request; 0: none known
};
