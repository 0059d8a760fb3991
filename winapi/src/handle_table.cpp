#include "handle_table.h"

#include <winapi_host/handles.h>

#include <map>
#include <mutex>

namespace winapi_host {
namespace {

struct table {
    std::mutex lock;
    std::map<std::uintptr_t, std::unique_ptr<kernel_object>> objects;
    std::uintptr_t next = 0x40;
    closed_handle_hook hook = nullptr;
};

// Never destroyed: handles may be closed by exit hooks after static destructors ran.
table& the_table() {
    static table* instance = new table;
    return *instance;
}

std::uintptr_t key_of(HANDLE handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

} // namespace

HANDLE insert_handle(std::unique_ptr<kernel_object> object) {
    auto& t = the_table();
    std::lock_guard guard(t.lock);
    const auto key = t.next;
    t.next += 4;
    t.objects.emplace(key, std::move(object));
    return reinterpret_cast<HANDLE>(key);
}

kernel_object* lookup_any(HANDLE handle) {
    auto& t = the_table();
    std::lock_guard guard(t.lock);
    auto it = t.objects.find(key_of(handle));
    return it == t.objects.end() ? nullptr : it->second.get();
}

bool remove_handle(HANDLE handle) {
    std::unique_ptr<kernel_object> doomed;
    auto& t = the_table();
    {
        std::lock_guard guard(t.lock);
        auto it = t.objects.find(key_of(handle));
        if (it == t.objects.end()) {
            return false;
        }
        doomed = std::move(it->second);
        t.objects.erase(it);
    }
    return true;
}

void set_closed_handle_hook(closed_handle_hook hook) {
    auto& t = the_table();
    std::lock_guard guard(t.lock);
    t.hook = hook;
}

void note_handle_misuse(HANDLE handle, const char* call) {
    auto& t = the_table();
    closed_handle_hook hook = nullptr;
    {
        std::lock_guard guard(t.lock);
        const auto key = key_of(handle);
        // Handles are never given out twice, so one below the next that names nothing is closed.
        if (key >= 0x40 && key < t.next && key % 4 == 0 && t.objects.count(key) == 0) {
            hook = t.hook;
        }
    }
    if (hook != nullptr) {
        hook(call);
    }
}

} // namespace winapi_host
