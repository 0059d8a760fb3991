// The machine description's say over the process's surroundings in a Windows build: named
// mutexes that another process holds, the bitness of the Windows the program runs on, and
// whether the process is elevated. Everything else about mutexes, modules and tokens stays
// Windows' own.
#include "fwu_sim_entry_points.h"

#include <winsim/api.h>

#include <cstring>

extern "C" HANDLE WINAPI fwu_sim_CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes,
                                              BOOL bInitialOwner, LPCWSTR lpName) {
    if (lpName == nullptr || !winsim::mutex_held_elsewhere(lpName)) {
        return ::CreateMutexW(lpMutexAttributes, bInitialOwner, lpName);
    }
    // As Windows answers a name another process holds: a handle to that mutex, not owned,
    // and ERROR_ALREADY_EXISTS. The real object stands for the other holder, so a real second
    // copy of the program meets it too.
    HANDLE hMutex = ::CreateMutexW(lpMutexAttributes, FALSE, lpName);
    if (hMutex != nullptr) {
        ::SetLastError(ERROR_ALREADY_EXISTS);
    }
    return hMutex;
}

extern "C" BOOL WINAPI fwu_sim_IsWow64Process(HANDLE, PBOOL Wow64Process) {
    if (Wow64Process == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // A 32-bit program on a 64-bit Windows runs under WOW64.
    *Wow64Process = (sizeof(void*) == 4 && winsim::machine_is_64bit()) ? TRUE : FALSE;
    return TRUE;
}

extern "C" FARPROC WINAPI fwu_sim_GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    // A name, not an ordinal (those are below 0x10000).
    const bool by_name = reinterpret_cast<ULONG_PTR>(lpProcName) > 0xFFFF;
    if (by_name && hModule != nullptr && hModule == ::GetModuleHandleW(L"kernel32") &&
        std::strcmp(lpProcName, "IsWow64Process") == 0) {
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&fwu_sim_IsWow64Process));
    }
    return ::GetProcAddress(hModule, lpProcName);
}

extern "C" BOOL WINAPI fwu_sim_CheckTokenMembership(HANDLE TokenHandle, PSID SidToCheck,
                                                    PBOOL IsMember) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (TokenHandle != nullptr || SidToCheck == nullptr || IsMember == nullptr ||
        !::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                    0, 0, 0, 0, 0, &administrators)) {
        return ::CheckTokenMembership(TokenHandle, SidToCheck, IsMember);
    }
    const bool asks_for_administrators = ::EqualSid(SidToCheck, administrators) != FALSE;
    ::FreeSid(administrators);
    if (!asks_for_administrators) {
        return ::CheckTokenMembership(TokenHandle, SidToCheck, IsMember);
    }
    *IsMember = winsim::machine_elevated() ? TRUE : FALSE;
    return TRUE;
}
