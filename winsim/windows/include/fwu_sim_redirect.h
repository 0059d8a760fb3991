// Forced into every source of a program's test flavour (<program>_sim.exe): the device
// calls, and what the machine description says of mutexes, bitness and elevation, go to the
// simulated machine; everything else stays Windows' own. The Windows headers are read first, so
// their declarations keep the real names.
#pragma once

#include "fwu_sim_setup_api_names.h"

#define CreateFileW fwu_sim_CreateFileW
#define DeviceIoControl fwu_sim_DeviceIoControl
#define CloseHandle fwu_sim_CloseHandle
#define CreateMutexW fwu_sim_CreateMutexW
#define IsWow64Process fwu_sim_IsWow64Process
#define GetProcAddress fwu_sim_GetProcAddress
#define CheckTokenMembership fwu_sim_CheckTokenMembership
#define Sleep fwu_sim_Sleep
#define GetTickCount fwu_sim_GetTickCount
#define GetTickCount64 fwu_sim_GetTickCount64
