// Process-wide interfaces: module name and lookup, environment, time, and the
// trace's exit record at process end.
#include "host_path.h"
#include "wide_text.h"

#include <windows.h>

#include <winsim/api.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>
#include <unistd.h>

extern char** environ;

namespace {

// The pseudo module handles this stand-in knows.
HMODULE const program_module = reinterpret_cast<HMODULE>(0x400000);
HMODULE const kernel32_module = reinterpret_cast<HMODULE>(0x7FF10000);

bool equal_ignoring_case(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) {
            return false;
        }
    }
    return true;
}

void write_exit_record(int status, void*) {
    winsim::record_process_exit(status);
}

// glibc's on_exit gives the status whether main returns or exit() is called.
struct process_end_hook {
    process_end_hook() { ::on_exit(write_exit_record, nullptr); }
};
const process_end_hook hook;

} // namespace

// Referenced by the link options of the stand-in so that the hook above is linked.
extern "C" const int fwu_winapi_process_end_anchor = 0;

extern "C" DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    if (hModule != nullptr && hModule != program_module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    char path[PATH_MAX + 1] = {};
    const auto length = ::readlink("/proc/self/exe", path, PATH_MAX);
    if (length <= 0) {
        SetLastError(ERROR_GEN_FAILURE);
        return 0;
    }
    const auto name =
        winapi_host::to_windows_path(std::string_view(path, static_cast<std::size_t>(length)));
    if (nSize == 0 || lpFilename == nullptr) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // Windows truncates to the buffer, terminates, and reports the truncation.
    if (name.size() >= nSize) {
        std::wmemcpy(lpFilename, name.c_str(), nSize - 1);
        lpFilename[nSize - 1] = L'\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    std::wmemcpy(lpFilename, name.c_str(), name.size() + 1);
    return static_cast<DWORD>(name.size());
}

extern "C" HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName) {
    if (lpModuleName == nullptr) {
        return program_module;
    }
    if (equal_ignoring_case(lpModuleName, L"kernel32") ||
        equal_ignoring_case(lpModuleName, L"kernel32.dll")) {
        return kernel32_module;
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

extern "C" FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    if (hModule == kernel32_module && lpProcName != nullptr &&
        std::strcmp(lpProcName, "IsWow64Process") == 0) {
        // Through void(*)(void), the generic function pointer type the compiler accepts.
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&IsWow64Process));
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

extern "C" HANDLE WINAPI GetCurrentProcess(void) {
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
}

extern "C" DWORD WINAPI GetCurrentProcessId(void) {
    return static_cast<DWORD>(::getpid());
}

extern "C" BOOL WINAPI IsWow64Process(HANDLE, PBOOL Wow64Process) {
    if (Wow64Process == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // A 32-bit program on a 64-bit Windows runs under WOW64.
    *Wow64Process = (sizeof(void*) == 4 && winsim::machine_is_64bit()) ? TRUE : FALSE;
    return TRUE;
}

extern "C" DWORD WINAPI GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize) {
    if (lpName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // Windows variable names ignore case.
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::wstring text = winapi_host::widen(*entry);
        const auto equals = text.find(L'=');
        if (equals != std::wstring::npos && equal_ignoring_case(text.substr(0, equals), lpName)) {
            return winapi_host::copy_out(std::wstring_view(text).substr(equals + 1), lpBuffer,
                                         nSize);
        }
    }
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
}

extern "C" DWORD WINAPI GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer) {
    char path[PATH_MAX + 1] = {};
    if (::getcwd(path, sizeof path) == nullptr) {
        SetLastError(ERROR_GEN_FAILURE);
        return 0;
    }
    return winapi_host::copy_out(winapi_host::to_windows_path(path), lpBuffer, nBufferLength);
}

extern "C" void WINAPI Sleep(DWORD dwMilliseconds) {
    winsim::sleep(dwMilliseconds);
}

extern "C" DWORD WINAPI GetTickCount(void) {
    return static_cast<DWORD>(winsim::tick_ms());
}
