#include "handle_table.h"

#include <map>
#include <mutex>

namespace winapi_host {
namespace {

struct table {
    std::mutex lock;
    std::map<std::uintptr_t, std::unique_ptr<kernel_object>> objects;
    std::uintptr_t next = 0x40;
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

} // namespace winapi_host
