// Which attached disks are Dravoni drives: the disk interfaces whose IDENTIFY model number
// begins with "DRAVONI KX".
#pragma once

#include "HddInfo.h"

// The eligible drives, in the order the system enumerates the disk interfaces.
HddInfoList EnumerateTargetDrives();

// Removes leading and trailing blanks (U+0020 only) in place; nCapacity is the buffer's size
// in characters. A text of blanks only keeps one blank.
void TrimSpaces(WCHAR* pszText, int nCapacity);

// An IDENTIFY text of nWords words from word nFirstWord, high byte of each word first, each
// byte one character; terminated and trimmed. pszText holds nWords * 2 + 1 characters.
void GetIdentifyText(const BYTE* pIdentify, int nFirstWord, int nWords, WCHAR* pszText);

// A record from 512 bytes of IDENTIFY DEVICE data and the disk's interface path.
HDD_INFO MakeHddInfo(const BYTE* pIdentify, const WCHAR* pszDevicePath);

// True when the model number begins with the series prefix (case-sensitive).
bool IsTargetModel(const WCHAR* pszModel);
