// The simulated machine's entry points in a Windows build: the device calls that the
// test flavour of a program makes instead of Windows' own.
#pragma once

#include <windows.h>
#include <setupapi.h>

extern "C" {

// Device names ("\\.\...", "\\?\...") open on the machine; every other name opens with
// the real CreateFileW.
HANDLE WINAPI fwu_sim_CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                  LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                  DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                                  HANDLE hTemplateFile);
BOOL WINAPI fwu_sim_DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer,
                                    DWORD nInBufferSize, LPVOID lpOutBuffer, DWORD nOutBufferSize,
                                    LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped);
// Device handles close on the machine, all others with the real CloseHandle.
BOOL WINAPI fwu_sim_CloseHandle(HANDLE hObject);

// What the machine description says of the process's surroundings: the named mutexes another
// process holds, whether the Windows it runs on is 64-bit (IsWow64Process, also when a
// program looks it up with GetProcAddress), and whether the process runs elevated.
HANDLE WINAPI fwu_sim_CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner,
                                   LPCWSTR lpName);
BOOL WINAPI fwu_sim_IsWow64Process(HANDLE hProcess, PBOOL Wow64Process);
FARPROC WINAPI fwu_sim_GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// Whether the process runs elevated (the description's "elevated"): asked of the Administrators
// group, the machine answers; any other group is Windows' own answer.
BOOL WINAPI fwu_sim_CheckTokenMembership(HANDLE TokenHandle, PSID SidToCheck, PBOOL IsMember);

// The machine's clock: the drives' busy times run on it, so pauses must too.
VOID WINAPI fwu_sim_Sleep(DWORD dwMilliseconds);
DWORD WINAPI fwu_sim_GetTickCount(void);
ULONGLONG WINAPI fwu_sim_GetTickCount64(void);

HDEVINFO WINAPI fwu_sim_SetupDiGetClassDevsW(const GUID* ClassGuid, PCWSTR Enumerator,
                                             HWND hwndParent, DWORD Flags);
BOOL WINAPI fwu_sim_SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet,
                                                PSP_DEVINFO_DATA DeviceInfoData,
                                                const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                                PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData);
BOOL WINAPI fwu_sim_SetupDiGetDeviceInterfaceDetailW(
    HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
    PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
    DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize, PSP_DEVINFO_DATA DeviceInfoData);
BOOL WINAPI fwu_sim_SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex,
                                          PSP_DEVINFO_DATA DeviceInfoData);
BOOL WINAPI fwu_sim_SetupDiClassNameFromGuidW(const GUID* ClassGuid, PWSTR ClassName,
                                              DWORD ClassNameSize, PDWORD RequiredSize);
BOOL WINAPI fwu_sim_SetupDiGetDeviceRegistryPropertyW(HDEVINFO DeviceInfoSet,
                                                      PSP_DEVINFO_DATA DeviceInfoData,
                                                      DWORD Property, PDWORD PropertyRegDataType,
                                                      PBYTE PropertyBuffer,
                                                      DWORD PropertyBufferSize,
                                                      PDWORD RequiredSize);
BOOL WINAPI fwu_sim_SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet);

} // extern "C"
