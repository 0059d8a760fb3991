// FindFirstFileW / FindNextFileW / FindClose over host directories; the pattern's
// last component may hold * and ? and matches without regard to case.
#include "handle_table.h"
#include "host_path.h"
#include "wide_text.h"

#include <cerrno>
#include <cwctype>
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <vector>

namespace winapi_host {
namespace {

struct found_entry {
    std::wstring name;
    DWORD attributes;
    ULONGLONG size;
};

class find_object final : public kernel_object {
public:
    explicit find_object(std::vector<found_entry> entries) : entries_(std::move(entries)) {}
    const found_entry* next() { return at_ < entries_.size() ? &entries_[at_++] : nullptr; }

private:
    std::vector<found_entry> entries_;
    std::size_t at_ = 0;
};

std::string lower(std::string_view text) {
    auto wide = widen(text);
    for (auto& ch : wide) {
        ch = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(ch)));
    }
    return narrow(wide);
}

void fill(const found_entry& entry, LPWIN32_FIND_DATAW data) {
    *data = WIN32_FIND_DATAW{};
    data->dwFileAttributes = entry.attributes;
    data->nFileSizeHigh = static_cast<DWORD>(entry.size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(entry.size & 0xFFFFFFFFu);
    const auto length = std::min<std::size_t>(entry.name.size(), MAX_PATH - 1);
    entry.name.copy(data->cFileName, length);
    data->cFileName[length] = L'\0';
}

} // namespace
} // namespace winapi_host

using namespace winapi_host;

extern "C" HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
    if (lpFileName == nullptr || lpFindFileData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::wstring pattern = lpFileName;
    const auto cut = pattern.find_last_of(L"\\/");
    const std::wstring directory = cut == std::wstring::npos ? L"." : pattern.substr(0, cut + 1);
    const std::wstring leaf = cut == std::wstring::npos ? pattern : pattern.substr(cut + 1);
    const auto mapped = to_host_path(directory);
    if (mapped.error != 0) {
        SetLastError(mapped.error);
        return INVALID_HANDLE_VALUE;
    }
    DIR* dir = ::opendir(mapped.path.empty() ? "." : mapped.path.c_str());
    if (dir == nullptr) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const std::string wanted = lower(narrow(leaf));
    std::vector<found_entry> entries;
    while (const dirent* entry = ::readdir(dir)) {
        if (::fnmatch(wanted.c_str(), lower(entry->d_name).c_str(), FNM_PERIOD) != 0 &&
            wanted != lower(entry->d_name)) {
            continue;
        }
        struct stat info {};
        const std::string full = mapped.path +
                                 (mapped.path.empty() || mapped.path.back() == '/' ? "" : "/") +
                                 entry->d_name;
        ::stat(full.c_str(), &info);
        const DWORD attributes =
            S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
        entries.push_back({widen(entry->d_name), attributes, static_cast<ULONGLONG>(info.st_size)});
    }
    ::closedir(dir);
    if (entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto finder = std::make_unique<find_object>(std::move(entries));
    fill(*finder->next(), lpFindFileData);
    return insert_handle(std::move(finder));
}

extern "C" BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
    auto* finder = lookup_handle<find_object>(hFindFile);
    if (finder == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const auto* entry = finder->next();
    if (entry == nullptr) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    fill(*entry, lpFindFileData);
    return TRUE;
}

extern "C" BOOL WINAPI FindClose(HANDLE hFindFile) {
    if (lookup_handle<find_object>(hFindFile) == nullptr || !remove_handle(hFindFile)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
