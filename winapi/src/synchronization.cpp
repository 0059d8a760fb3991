// Named mutexes: one per name in the process; a name the machine says another
// process holds, or one already created here, answers ERROR_ALREADY_EXISTS.
#include "handle_table.h"

#include <winsim/api.h>

#include <map>
#include <mutex>
#include <string>

namespace winapi_host {
namespace {

std::mutex names_lock;
std::map<std::wstring, int>& open_names() {
    static auto* names = new std::map<std::wstring, int>;
    return *names;
}

class mutex_object final : public kernel_object {
public:
    explicit mutex_object(std::wstring name) : name_(std::move(name)) {}
    ~mutex_object() override {
        if (!name_.empty()) {
            std::lock_guard guard(names_lock);
            if (--open_names()[name_] == 0) {
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
        existed = open_names()[name]++ > 0 || winsim::mutex_held_elsewhere(name);
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
