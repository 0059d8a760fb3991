// The process's handle table: every HANDLE the stand-in gives out names one object here.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

namespace winapi_host {

// What a handle stands for. Each kind releases its resources in its destructor.
class kernel_object {
public:
    virtual ~kernel_object() = default;
};

// Registers an object and returns its new handle (multiples of 4, as Windows gives).
HANDLE insert_handle(std::unique_ptr<kernel_object> object);

// The object of a handle when it has the given kind, else null.
template <typename T> T* lookup_handle(HANDLE handle);
kernel_object* lookup_any(HANDLE handle);

// Removes the handle; false when it names nothing.
bool remove_handle(HANDLE handle);

// Tells the checker's hook (winapi_host/handles.h) when the handle was given out and is closed.
void note_handle_misuse(HANDLE handle, const char* call);

template <typename T> T* lookup_handle(HANDLE handle) {
    return dynamic_cast<T*>(lookup_any(handle));
}

} // namespace winapi_host
