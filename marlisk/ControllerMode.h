// Whether the storage controller runs in a mode in which ATA pass-through reaches the drive,
// and whether the program runs from Windows PE (where that check is skipped).
#pragma once

#include <windows.h>

// One byte: vendor family in the high nibble (1 Standard, 2 Intel, 3 NVIDIA), mode in the low
// nibble (0 neither, 1 AHCI, 2 RAID; NVIDIA's AHCI and RAID are both 1).
BYTE GetControllerMode();

// The code of one controller description.
BYTE ClassifyControllerDescription(const WCHAR* pszDescription);

// True for the codes of a controller in AHCI or RAID mode.
bool IsAhciOrRaidMode(BYTE bMode);

// True when "SystemDrive" is "X:", in either letter case.
bool IsWindowsPE();
