// The Microsoft runtime's wide-name file opens and 64-bit seeks.
#include "files.h"
#include "host_path.h"
#include "wide_text.h"

#include <share.h>
#include <stdio.h>

#include <cerrno>
#include <sys/stat.h>

namespace {

// "rb", "r+t", "w, ccs=UTF-8": the host has no text mode, and the encoding
// option is dropped (the programs open images as raw bytes).
std::string host_mode(const wchar_t* mode) {
    std::string out;
    for (const wchar_t* m = mode; *m != L'\0' && *m != L','; ++m) {
        if (*m == L'r' || *m == L'w' || *m == L'a' || *m == L'+' || *m == L'b') {
            out.push_back(static_cast<char>(*m));
        }
    }
    return out;
}

DWORD share_of(int shflag) {
    switch (shflag) {
    case _SH_DENYRW:
        return 0;
    case _SH_DENYWR:
        return FILE_SHARE_READ;
    case _SH_DENYRD:
        return FILE_SHARE_WRITE;
    default:
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    }
}

} // namespace

extern "C" FILE* _wfsopen(const wchar_t* filename, const wchar_t* mode, int shflag) {
    if (filename == nullptr || mode == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    const auto mapped = winapi_host::to_host_path(filename);
    if (mapped.error != 0) {
        errno = ENOENT;
        return nullptr;
    }
    const std::string how = host_mode(mode);
    const bool writes = how.find_first_of("wa+") != std::string::npos;
    const DWORD access = GENERIC_READ | (writes ? GENERIC_WRITE : 0u);
    struct stat info {};
    if (::stat(mapped.path.c_str(), &info) == 0 &&
        !winapi_host::file_object::may_open(info.st_dev, info.st_ino, access, share_of(shflag))) {
        errno = EACCES;
        return nullptr;
    }
    return std::fopen(mapped.path.c_str(), how.c_str());
}

extern "C" FILE* _wfopen(const wchar_t* filename, const wchar_t* mode) {
    return _wfsopen(filename, mode, _SH_DENYNO);
}

extern "C" int _fseeki64(FILE* stream, int64_t offset, int origin) {
    return ::fseeko(stream, static_cast<off_t>(offset), origin);
}

extern "C" int64_t _ftelli64(FILE* stream) {
    return static_cast<int64_t>(::ftello(stream));
}
