#include "host_path.h"

#include "wide_text.h"

#include <winsim/api.h>

#include <cerrno>
#include <cwctype>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace winapi_host {
namespace {

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool same_ignoring_case(std::string_view a, std::string_view b) {
    const auto wa = widen(a);
    const auto wb = widen(b);
    if (wa.size() != wb.size()) {
        return false;
    }
    for (std::size_t i = 0; i < wa.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(wa[i])) !=
            std::towlower(static_cast<wint_t>(wb[i]))) {
            return false;
        }
    }
    return true;
}

// Finds each missing component by a case-insensitive scan of its directory.
std::string resolve_case(const std::string& path) {
    if (path.empty() || exists(path)) {
        return path;
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto slash = path.find('/', start);
        if (slash == std::string::npos) {
            slash = path.size();
        }
        parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    std::string current = path.front() == '/' ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto& part = parts[i];
        if (part.empty() || part == ".") {
            continue;
        }
        std::string candidate = current + part;
        if (!exists(candidate) && part != "..") {
            if (DIR* dir = ::opendir(current.empty() ? "." : current.c_str())) {
                while (const dirent* entry = ::readdir(dir)) {
                    if (same_ignoring_case(entry->d_name, part)) {
                        candidate = current + entry->d_name;
                        break;
                    }
                }
                ::closedir(dir);
            }
        }
        current = candidate;
        if (i + 1 < parts.size()) {
            current += '/';
        }
    }
    return current;
}

} // namespace

host_path to_host_path(std::wstring_view windows_name) {
    std::wstring name(windows_name);
    if (name.rfind(L"\\\\?\\", 0) == 0) {
        name.erase(0, 4);
    }
    for (auto& ch : name) {
        if (ch == L'\\') {
            ch = L'/';
        }
    }
    std::string mapped;
    if (name.size() >= 2 && name[1] == L':' && std::iswalpha(static_cast<wint_t>(name[0]))) {
        const auto root =
            winsim::dos_drive_root(static_cast<char>(std::towupper(static_cast<wint_t>(name[0]))));
        if (!root) {
            return {narrow(name), ERROR_PATH_NOT_FOUND};
        }
        mapped = *root;
        std::string rest = narrow(name.substr(2));
        if (!mapped.empty() && mapped.back() == '/' && !rest.empty() && rest.front() == '/') {
            rest.erase(0, 1);
        } else if (!rest.empty() && rest.front() != '/' &&
                   (mapped.empty() || mapped.back() != '/')) {
            mapped += '/';
        }
        mapped += rest;
    } else {
        mapped = narrow(name);
    }
    return {resolve_case(mapped), 0};
}

std::wstring to_windows_path(std::string_view host_name) {
    std::wstring name = widen(host_name);
    for (auto& ch : name) {
        if (ch == L'/') {
            ch = L'\\';
        }
    }
    if (!name.empty() && name.front() == L'\\') {
        name.insert(0, L"Z:");
    }
    return name;
}

DWORD windows_error_from_errno(int error_number) {
    switch (error_number) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return 80; // ERROR_FILE_EXISTS
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_GEN_FAILURE;
    }
}

} // namespace winapi_host
