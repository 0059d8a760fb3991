// What NorrixUpdater reads from the 512 bytes of IDENTIFY DEVICE data (256 little-endian words).
#pragma once

#include <windows.h>
#include <ata.h>

constexpr DWORD IDENTIFY_DATA_BYTES = ATA_IDENTIFY_BYTES;
constexpr int ATA_STRING_BUFFER = 50;

WORD IdentifyWord(const BYTE* pData, int nWord);

// Copies an ATA string (two characters a word, the first in the high byte) into a zero-filled
// buffer of ATA_STRING_BUFFER bytes, in reading order; trailing spaces stay.
void CopyAtaString(const BYTE* pData, int nFirstWord, int nWords, char (&szOut)[ATA_STRING_BUFFER]);

inline void CopySerialNumber(const BYTE* p, char (&sz)[ATA_STRING_BUFFER]) {
    CopyAtaString(p, ATA_ID_SERIAL_NUMBER, ATA_ID_SERIAL_NUMBER_WORDS, sz);
}
inline void CopyFirmwareRevision(const BYTE* p, char (&sz)[ATA_STRING_BUFFER]) {
    CopyAtaString(p, ATA_ID_FIRMWARE_REVISION, ATA_ID_FIRMWARE_REVISION_WORDS, sz);
}
inline void CopyModelNumber(const BYTE* p, char (&sz)[ATA_STRING_BUFFER]) {
    CopyAtaString(p, ATA_ID_MODEL_NUMBER, ATA_ID_MODEL_NUMBER_WORDS, sz);
}

// Whether the buffer holds data a drive sent: not all zero (a bridge can complete the command
// with a good status and move nothing), and where word 255 carries the A5h signature, its
// checksum right (all 512 bytes sum to 0).
bool IsIdentifyDataPresent(const BYTE* pData);

// Word 128 bit 1.
bool IsSecurityEnabled(const BYTE* pData);

// The drive's datafile type character: the high byte of vendor word 153.
BYTE DatafileTypeOf(const BYTE* pData);
