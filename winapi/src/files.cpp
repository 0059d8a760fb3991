// CreateFileW on regular files, ReadFile, WriteFile, sizes and attributes.
#include "files.h"

#include "host_path.h"

#include <winsim/api.h>
#include <winsim/file_reads.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace winapi_host {
namespace {

struct open_files {
    std::mutex lock;
    std::vector<const file_object*> list;
};

open_files& registry() {
    static auto* instance = new open_files;
    return *instance;
}

constexpr DWORD read_like = GENERIC_READ | GENERIC_ALL | 0x0001u;   // FILE_READ_DATA
constexpr DWORD write_like = GENERIC_WRITE | GENERIC_ALL | 0x0002u; // FILE_WRITE_DATA

bool wants_read(DWORD access) {
    return (access & read_like) != 0;
}
bool wants_write(DWORD access) {
    return (access & write_like) != 0;
}

DWORD attributes_of(const struct stat& info) {
    DWORD attributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if ((info.st_mode & S_IWUSR) == 0) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    return attributes;
}

// 100-nanosecond intervals since 1601-01-01.
FILETIME file_time(const timespec& at) {
    constexpr std::uint64_t seconds_1601_to_1970 = 11'644'473'600;
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(at.tv_sec) + seconds_1601_to_1970) * 10'000'000 +
        static_cast<std::uint64_t>(at.tv_nsec) / 100;
    return {static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

static_assert(sizeof(BY_HANDLE_FILE_INFORMATION) == 52, "the SDK's layout");
static_assert(offsetof(BY_HANDLE_FILE_INFORMATION, dwVolumeSerialNumber) == 28);
static_assert(offsetof(BY_HANDLE_FILE_INFORMATION, nFileIndexLow) == 48);

} // namespace

bool shares_compatible(DWORD access_a, DWORD share_a, DWORD access_b, DWORD share_b) {
    auto allows = [](DWORD access, DWORD share) {
        return (!wants_read(access) || (share & FILE_SHARE_READ) != 0) &&
               (!wants_write(access) || (share & FILE_SHARE_WRITE) != 0);
    };
    return allows(access_a, share_b) && allows(access_b, share_a);
}

file_object::file_object(int fd, dev_t device, ino_t inode, DWORD access, DWORD share)
    : fd_(fd), device_(device), inode_(inode), access_(access), share_(share) {
    auto& r = registry();
    std::lock_guard guard(r.lock);
    r.list.push_back(this);
}

file_object::~file_object() {
    {
        auto& r = registry();
        std::lock_guard guard(r.lock);
        std::erase(r.list, this);
    }
    ::close(fd_);
}

bool file_object::may_open(dev_t device, ino_t inode, DWORD access, DWORD share) {
    auto& r = registry();
    std::lock_guard guard(r.lock);
    return std::all_of(r.list.begin(), r.list.end(), [&](const file_object* open) {
        return open->device_ != device || open->inode_ != inode ||
               shares_compatible(open->access_, open->share_, access, share);
    });
}

HANDLE open_device_handle(LPCWSTR name, DWORD access, DWORD share); // devices.cpp

} // namespace winapi_host

using namespace winapi_host;

extern "C" HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition, DWORD,
                                     HANDLE) {
    if (lpFileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (winsim::is_device_name(lpFileName)) {
        return open_device_handle(lpFileName, dwDesiredAccess, dwShareMode);
    }
    const auto mapped = to_host_path(lpFileName);
    if (mapped.error != 0) {
        SetLastError(mapped.error);
        return INVALID_HANDLE_VALUE;
    }
    int flags = O_CLOEXEC;
    if (wants_read(dwDesiredAccess) && wants_write(dwDesiredAccess)) {
        flags |= O_RDWR;
    } else if (wants_write(dwDesiredAccess)) {
        flags |= O_WRONLY;
    } else {
        flags |= O_RDONLY;
    }
    switch (dwCreationDisposition) {
    case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
        flags |= O_CREAT | O_TRUNC;
        break;
    case OPEN_ALWAYS:
        flags |= O_CREAT;
        break;
    case TRUNCATE_EXISTING:
        flags |= O_TRUNC;
        break;
    case OPEN_EXISTING:
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    struct stat before {};
    if (::stat(mapped.path.c_str(), &before) == 0 &&
        !file_object::may_open(before.st_dev, before.st_ino, dwDesiredAccess, dwShareMode)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    const int fd = ::open(mapped.path.c_str(), flags, 0644);
    if (fd < 0) {
        DWORD error = windows_error_from_errno(errno);
        if (error == ERROR_FILE_NOT_FOUND && mapped.path.find('/') != std::string::npos) {
            const auto dir = mapped.path.substr(0, mapped.path.rfind('/'));
            struct stat dir_info {};
            if (!dir.empty() && ::stat(dir.c_str(), &dir_info) != 0) {
                error = ERROR_PATH_NOT_FOUND;
            }
        }
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    struct stat info {};
    ::fstat(fd, &info);
    SetLastError(0);
    return insert_handle(
        std::make_unique<file_object>(fd, info.st_dev, info.st_ino, dwDesiredAccess, dwShareMode));
}

extern "C" BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                LPDWORD lpNumberOfBytesRead, LPOVERLAPPED) {
    auto* file = lookup_handle<file_object>(hFile);
    if (file == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD total = 0;
    auto* out = static_cast<char*>(lpBuffer);
    while (total < nNumberOfBytesToRead) {
        const auto got = ::read(file->fd(), out + total, nNumberOfBytesToRead - total);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (lpNumberOfBytesRead != nullptr) {
                *lpNumberOfBytesRead = total;
            }
            SetLastError(windows_error_from_errno(errno));
            return FALSE;
        }
        if (got == 0) {
            break;
        }
        total += static_cast<DWORD>(got);
    }
    if (lpNumberOfBytesRead != nullptr) {
        *lpNumberOfBytesRead = total;
    }
    winsim::note_file_read(lpBuffer, total);
    return TRUE;
}

extern "C" BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED) {
    auto* file = lookup_handle<file_object>(hFile);
    if (file == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD total = 0;
    const auto* in = static_cast<const char*>(lpBuffer);
    while (total < nNumberOfBytesToWrite) {
        const auto put = ::write(file->fd(), in + total, nNumberOfBytesToWrite - total);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            SetLastError(windows_error_from_errno(errno));
            return FALSE;
        }
        total += static_cast<DWORD>(put);
    }
    if (lpNumberOfBytesWritten != nullptr) {
        *lpNumberOfBytesWritten = total;
    }
    return TRUE;
}

extern "C" BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize) {
    auto* file = lookup_handle<file_object>(hFile);
    struct stat info {};
    if (file == nullptr || ::fstat(file->fd(), &info) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    lpFileSize->QuadPart = info.st_size;
    return TRUE;
}

extern "C" DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(hFile, &size)) {
        return INVALID_FILE_SIZE;
    }
    const auto value = static_cast<ULONGLONG>(size.QuadPart);
    if (lpFileSizeHigh != nullptr) {
        *lpFileSizeHigh = static_cast<DWORD>(value >> 32);
    }
    // A size whose low part is all ones is told apart by the last error, as on Windows.
    SetLastError(0);
    return static_cast<DWORD>(value & 0xFFFFFFFFu);
}

// The volume serial number and file index are the file system's device and inode numbers: two
// names of one file (a hard link, a path through a linked folder) give the same pair.
extern "C" BOOL WINAPI GetFileInformationByHandle(HANDLE hFile,
                                                  LPBY_HANDLE_FILE_INFORMATION lpFileInformation) {
    auto* file = lookup_handle<file_object>(hFile);
    struct stat info {};
    if (file == nullptr || ::fstat(file->fd(), &info) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpFileInformation == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    const auto device = static_cast<std::uint64_t>(info.st_dev);
    const auto inode = static_cast<std::uint64_t>(info.st_ino);
    const auto size = static_cast<std::uint64_t>(info.st_size);
    BY_HANDLE_FILE_INFORMATION& out = *lpFileInformation;
    out.dwFileAttributes = attributes_of(info);
    // Linux reports no birth time through stat; the status change time stands in, as in Wine.
    out.ftCreationTime = file_time(info.st_ctim);
    out.ftLastAccessTime = file_time(info.st_atim);
    out.ftLastWriteTime = file_time(info.st_mtim);
    out.dwVolumeSerialNumber = static_cast<DWORD>((device ^ (device >> 32)) & 0xFFFFFFFFu);
    out.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    out.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    out.nNumberOfLinks = static_cast<DWORD>(info.st_nlink);
    out.nFileIndexHigh = static_cast<DWORD>(inode >> 32);
    out.nFileIndexLow = static_cast<DWORD>(inode & 0xFFFFFFFFu);
    return TRUE;
}

extern "C" DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove,
                                       PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
    auto* file = lookup_handle<file_object>(hFile);
    if (file == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    off_t distance = lDistanceToMove;
    if (lpDistanceToMoveHigh != nullptr) {
        distance = static_cast<off_t>(
            (static_cast<uint64_t>(static_cast<DWORD>(*lpDistanceToMoveHigh)) << 32) |
            static_cast<DWORD>(lDistanceToMove));
    }
    const int whence = dwMoveMethod == FILE_END       ? SEEK_END
                       : dwMoveMethod == FILE_CURRENT ? SEEK_CUR
                                                      : SEEK_SET;
    const off_t at = ::lseek(file->fd(), distance, whence);
    if (at < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_SIZE;
    }
    if (lpDistanceToMoveHigh != nullptr) {
        *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<uint64_t>(at) >> 32);
    }
    SetLastError(0);
    return static_cast<DWORD>(static_cast<uint64_t>(at) & 0xFFFFFFFFu);
}

extern "C" DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName) {
    const auto mapped = to_host_path(lpFileName);
    struct stat info {};
    if (mapped.error != 0 || ::stat(mapped.path.c_str(), &info) != 0) {
        SetLastError(mapped.error != 0 ? mapped.error : windows_error_from_errno(errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    return attributes_of(info);
}
