// Process-wide interfaces: module name and lookup, environment, time, and the
// trace's exit record at process end.
#include "host_path.h"
#include "wide_text.h"

#include <windows.h>

#include <winsim/api.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// Windows' C runtime keeps descriptors 0 to 2 of a program started without standard handles
// taken but unusable, so no file it opens later becomes its standard output or error. The same
// here: each closed one is held by a placeholder that can neither read nor write (O_PATH), before
// any file is opened, the trace and the stand-in's own among them.
__attribute__((constructor(101))) void hold_closed_standard_descriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        const int placeholder = ::open("/dev/null", O_PATH | O_CLOEXEC);
        if (placeholder >= 0 && placeholder != fd) {
            ::dup3(placeholder, fd, O_CLOEXEC);
            ::close(placeholder);
        }
    }
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

// Joins a relative name to the current directory and folds "." and ".." as Windows does;
// it looks at no file. A drive-relative "X:name" is taken from that drive's root.
extern "C" DWORD WINAPI GetFullPathNameW(LPCWSTR lpFileName, DWORD nBufferLength, LPWSTR lpBuffer,
                                         LPWSTR* lpFilePart) {
    if (lpFilePart != nullptr) {
        *lpFilePart = nullptr;
    }
    if (lpFileName == nullptr || *lpFileName == L'\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::wstring name = lpFileName;
    for (auto& ch : name) {
        if (ch == L'/') {
            ch = L'\\';
        }
    }
    std::wstring root;
    std::wstring rest;
    if (name.rfind(L"\\\\", 0) == 0) {
        // Device and UNC names are left as they are.
        return winapi_host::copy_out(name, lpBuffer, nBufferLength);
    }
    if (name.size() >= 2 && name[1] == L':') {
        root = name.substr(0, 2);
        rest = name.substr(2);
    } else {
        WCHAR current[PATH_MAX + 1] = {};
        const DWORD length = GetCurrentDirectoryW(PATH_MAX + 1, current);
        if (length == 0 || length > PATH_MAX) {
            return 0;
        }
        root.assign(current, 2);
        rest = name.front() == L'\\' ? name : std::wstring(current + 2) + L"\\" + name;
    }
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find(L'\\', start);
        if (end == std::wstring::npos) {
            end = rest.size();
        }
        const std::wstring part = rest.substr(start, end - start);
        if (part == L"..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::wstring full = root + L"\\";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        full += (i == 0 ? L"" : L"\\") + parts[i];
    }
    // A name ending in a separator keeps it.
    if (!parts.empty() && rest.back() == L'\\') {
        full += L'\\';
    }
    const DWORD written = winapi_host::copy_out(full, lpBuffer, nBufferLength);
    if (lpFilePart != nullptr) {
        if (written < nBufferLength && full.back() != L'\\') {
            *lpFilePart = lpBuffer + full.rfind(L'\\') + 1;
        }
    }
    return written;
}

// Host file systems have no 8.3 names: an existing path is its own long form.
extern "C" DWORD WINAPI GetLongPathNameW(LPCWSTR lpszShortPath, LPWSTR lpszLongPath,
                                         DWORD cchBuffer) {
    if (lpszShortPath == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto mapped = winapi_host::to_host_path(lpszShortPath);
    struct stat info {};
    if (mapped.error != 0 || ::stat(mapped.path.c_str(), &info) != 0) {
        SetLastError(mapped.error != 0 ? mapped.error : ERROR_FILE_NOT_FOUND);
        return 0;
    }
    return winapi_host::copy_out(lpszShortPath, lpszLongPath, cchBuffer);
}

extern "C" void WINAPI Sleep(DWORD dwMilliseconds) {
    winsim::sleep(dwMilliseconds);
}

extern "C" DWORD WINAPI GetTickCount(void) {
    return static_cast<DWORD>(winsim::tick_ms());
}
