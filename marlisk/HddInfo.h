// One eligible drive, as discovery found it.
#pragma once

#include <windows.h>

#include <list>

struct HDD_INFO {
    WCHAR szDevicePath[260];
    WCHAR szModel[41];
    WCHAR szFwRevision[9];
    WCHAR szSerialNo[21];
    WORD wDlMinBlocks;    // IDENTIFY word 234
    WORD wSecurityStatus; // IDENTIFY word 128; bit 1: security enabled
    BOOL bDlOffsetsSupported;
    WORD wReserved;
};

using HddInfoList = std::list<HDD_INFO>;

constexpr WORD HDD_SECURITY_ENABLED = 0x0002;
