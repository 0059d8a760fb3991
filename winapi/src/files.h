// Regular files opened with CreateFileW, and the sharing rules between their opens.
#pragma once

#include "handle_table.h"

#include <sys/types.h>

namespace winapi_host {

class file_object final : public kernel_object {
public:
    file_object(int fd, dev_t device, ino_t inode, DWORD access, DWORD share);
    ~file_object() override;
    file_object(const file_object&) = delete;
    file_object& operator=(const file_object&) = delete;

    int fd() const { return fd_; }

    // Whether a new open with this access and share mode may coexist with the
    // open ones of the same file (Windows' rule: each side's access within the
    // other's share mode).
    static bool may_open(dev_t device, ino_t inode, DWORD access, DWORD share);

private:
    int fd_;
    dev_t device_;
    ino_t inode_;
    DWORD access_;
    DWORD share_;
};

// True when the two opens' access and share modes allow each other.
bool shares_compatible(DWORD access_a, DWORD share_a, DWORD access_b, DWORD share_b);

} // namespace winapi_host
