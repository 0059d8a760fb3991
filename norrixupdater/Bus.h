// The bus: how NorrixUpdater reaches the drive it updates. One bus object per run, chosen by
// the command line; the update flow talks to it only through these virtual operations, whose
// order is fixed (CSataBus and CCsmiBus fill the same slots).
#pragma once

#include <windows.h>

class CBus {
public:
    CBus();
    virtual ~CBus(); // closes m_hDevice unless it is invalid
    CBus(const CBus&) = delete;
    CBus& operator=(const CBus&) = delete;

    // 0; 2 when the device does not open; 8 when the CSMI bus's SAS address is malformed.
    virtual int Open() = 0;
    virtual int IdentifyDevice(BYTE* pBuffer, DWORD dwLength) = 0;
    virtual int DownloadMicrocode(const BYTE* pImage, DWORD dwLength) = 0;
    virtual int DisableSettingsPreservation() = 0;
    virtual int ReadPassThroughData() = 0;

    // A block of dwSize bytes aligned to 8 bytes in a 32-bit process on 64-bit Windows, else
    // to 4; null when memory is short.
    virtual void* AllocBuffer(DWORD dwSize);
    // Releases an AllocBuffer block; null is ignored.
    virtual void FreeBuffer(void* pBuffer);
    virtual BOOL IsWow64();

protected:
    HANDLE m_hDevice;
};
