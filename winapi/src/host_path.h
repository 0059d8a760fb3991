// Windows file names onto host paths, the way Wine maps them: backslashes become
// slashes, drive Z: is the host root (other letters as the machine maps them),
// relative names stay relative to the current directory, and names match
// case-insensitively when no exact match exists.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace winapi_host {

struct host_path {
    std::string path; // the host path, resolved case-insensitively where it exists
    DWORD error = 0;  // ERROR_PATH_NOT_FOUND for an unmapped drive, else 0
};

host_path to_host_path(std::wstring_view windows_name);

// A host path as Windows code sees it: absolute host paths under Z:.
std::wstring to_windows_path(std::string_view host_name);

// Errors of the host's open calls as Windows reports them.
DWORD windows_error_from_errno(int error_number);

} // namespace winapi_host
