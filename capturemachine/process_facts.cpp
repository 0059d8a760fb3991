#include "process_facts.h"

#include <windows.h>

namespace capture {

bool running_elevated() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                    0, 0, 0, 0, 0, &administrators)) {
        return false;
    }
    BOOL member = FALSE;
    const bool asked = ::CheckTokenMembership(nullptr, administrators, &member) != 0;
    ::FreeSid(administrators);
    return asked && member != FALSE;
}

bool windows_is_64bit() {
    // Looked up, not linked: kernel32 has it only from Windows XP SP2 on.
    using is_wow64_process = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto query = reinterpret_cast<is_wow64_process>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    return query != nullptr && query(::GetCurrentProcess(), &wow64) != 0 && wow64 != FALSE;
}

} // namespace capture
