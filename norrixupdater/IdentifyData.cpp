#include "IdentifyData.h"

#include <cstring>

WORD IdentifyWord(const BYTE* pData, int nWord) {
    const BYTE* p = pData + 2 * nWord;
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

void CopyAtaString(const BYTE* pData, int nFirstWord, int nWords,
                   char (&szOut)[ATA_STRING_BUFFER]) {
    std::memset(szOut, 0, sizeof(szOut));
    for (int i = 0; i < nWords && 2 * i + 1 < ATA_STRING_BUFFER - 1; ++i) {
        const WORD word = IdentifyWord(pData, nFirstWord + i);
        szOut[2 * i] = static_cast<char>(word >> 8);
        szOut[2 * i + 1] = static_cast<char>(word & 0xFF);
    }
}

bool IsSecurityEnabled(const BYTE* pData) {
    return (IdentifyWord(pData, ATA_ID_SECURITY_STATUS) & ATA_ID_SECURITY_ENABLED) != 0;
}

BYTE DatafileTypeOf(const BYTE* pData) {
    return static_cast<BYTE>(IdentifyWord(pData, 153) >> 8);
}

bool IsIdentifyDataPresent(const BYTE* pData) {
    unsigned nSum = 0;
    bool bAnyByte = false;
    for (DWORD i = 0; i < IDENTIFY_DATA_BYTES; ++i) {
        nSum += pData[i];
        bAnyByte = bAnyByte || pData[i] != 0;
    }
    return bAnyByte &&
           (pData[2 * ATA_ID_INTEGRITY] != ATA_ID_INTEGRITY_SIGNATURE || (nSum & 0xFF) == 0);
}
