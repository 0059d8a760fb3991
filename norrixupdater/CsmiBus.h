// The CSMI bus: a drive behind a RAID/SAS controller whose driver implements CSMI. The bus
// opens the controller (\\.\ScsiN:) and wraps each ATA command in an STP pass-through request
// addressed to the drive's SAS address.
#pragma once

#include "Bus.h"

#include <appframe/CString.h>

class CCsmiBus : public CBus {
public:
    CCsmiBus(const CString& strController, const CString& strSasAddress);
    ~CCsmiBus() override = default;

    int Open() override;
    int IdentifyDevice(BYTE* pBuffer, DWORD dwLength) override;
    int DownloadMicrocode(const BYTE* pImage, DWORD dwLength) override;
    int DisableSettingsPreservation() override;
    int ReadPassThroughData() override;

    static constexpr DWORD DOWNLOAD_CHUNK_BYTES = 0xA00; // 5 blocks
    static constexpr int SAS_ADDRESS_BYTES = 8;

    // Hexadecimal text, two digits a byte, into at most SAS_ADDRESS_BYTES bytes; a trailing odd
    // digit is ignored and a character that is no hexadecimal digit counts as 0.
    static void ParseSasAddress(const char* pszText, BYTE (&address)[SAS_ADDRESS_BYTES]);

private:
    // The registers of one ATA command, sent or returned.
    struct AtaRequest {
        BYTE command = 0;
        BYTE features = 0;
        BYTE lbaLow = 0;
        BYTE lbaMid = 0;
        BYTE lbaHigh = 0;
        BYTE count = 0;
        BYTE status = 0;
        BYTE error = 0;
        BYTE* buffer = nullptr;
        DWORD length = 0;       // bytes in the data phase
        DWORD sourceLength = 0; // of them, bytes taken from buffer for a write; the rest are 0
        bool dataIn = false;
    };

    int StpPassThrough(const AtaRequest& command, AtaRequest& returned);
    int CsmiIoctl(BYTE* pBlock, DWORD dwSize, DWORD dwControlCode);

    CString m_strController;
    CString m_strSasAddress;
    BYTE m_sasAddress[SAS_ADDRESS_BYTES] = {};
};
