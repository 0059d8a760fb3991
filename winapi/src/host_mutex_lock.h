// Named mutexes are machine-wide on Windows: two processes that create the same name see
// each other. On the host a lock file keyed by the name stands for the kernel object.
#pragma once

#include <string_view>

namespace winapi_host {

// Takes the machine-wide lock of a mutex name. Returns a descriptor that holds it (release
// it with release_host_lock; process end releases it too), or -1 when another process holds
// the name. Where no lock file can be made the name counts as free (-2 is returned).
int acquire_host_lock(std::wstring_view name);
void release_host_lock(int descriptor);

} // namespace winapi_host
