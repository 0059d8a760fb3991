// Forced into the stand-in's setup-API source when it is built for Windows: its
// definitions become the machine's entry points instead of clashing with setupapi.dll's.
#pragma once

#include "fwu_sim_entry_points.h"

#define SetupDiGetClassDevsW fwu_sim_SetupDiGetClassDevsW
#define SetupDiEnumDeviceInterfaces fwu_sim_SetupDiEnumDeviceInterfaces
#define SetupDiGetDeviceInterfaceDetailW fwu_sim_SetupDiGetDeviceInterfaceDetailW
#define SetupDiEnumDeviceInfo fwu_sim_SetupDiEnumDeviceInfo
#define SetupDiClassNameFromGuidW fwu_sim_SetupDiClassNameFromGuidW
#define SetupDiGetDeviceRegistryPropertyW fwu_sim_SetupDiGetDeviceRegistryPropertyW
#define SetupDiDestroyDeviceInfoList fwu_sim_SetupDiDestroyDeviceInfoList
