// Named mutexes: one per name on the machine; a name that another host process holds, that
// the machine description says another process holds, or one already created here, answers
// ERROR_ALREADY_EXISTS.
#include "handle_table.h"
#include "host_mutex_lock.h"

#include <winsim/api.h>

#include <map>
#include <mutex>
#include <string>

namespace winapi_host {
namespace {

struct open_name {
    int handles = 0;
    int lock = -1; // the machine-wide lock, when this process created the name
};

std::mutex names_lock;
std::map<std::wstring, open_name>& open_names() {
    static auto* names = new std::map<std::wstring, open_name>;
    return *names;
}

class mutex_object final : public kernel_object {
public:
    explicit mutex_object(std::wstring name) : name_(std::move(name)) {}
    ~mutex_object() override {
        if (!name_.empty()) {
            std::lock_guard guard(names_lock);
            auto& entry = open_names()[name_];
            if (--entry.handles == 0) {
                release_host_lock(entry.lock);
                open_names().erase(name_);
            }
        }
    }
    mutex_object(const mutex_object&) = delete;
    mutex_object& operator=(const mutex_object&) = delete;

private:
    std::wstring name_;
};

} // namespace
} // namespace winapi_host

using namespace winapi_host;

extern "C" HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL, LPCWSTR lpName) {
    std::wstring name = lpName == nullptr ? L"" : lpName;
    bool existed = false;
    if (!name.empty()) {
        std::lock_guard guard(names_lock);
        auto& entry = open_names()[name];
        if (entry.handles++ > 0) {
            existed = true;
        } else {
            entry.lock = acquire_host_lock(name);
            existed = entry.lock == -1 || winsim::mutex_held_elsewhere(name);
        }
    }
    HANDLE handle = insert_handle(std::make_unique<mutex_object>(name));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : NO_ERROR);
    return handle;
}

extern "C" BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
    if (lookup_handle<mutex_object>(hMutex) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

extern "C" DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD) {
    if (lookup_any(hHandle) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return WAIT_OBJECT_0;
}
