// Device handles: CreateFileW of a device name, DeviceIoControl and CloseHandle.
// The simulated machine answers; this file only keeps the handles.
#include "files.h"
#include "handle_table.h"

#include <winsim/api.h>

namespace winapi_host {
namespace {

class device_object final : public kernel_object {
public:
    explicit device_object(winsim::open_id id) : id_(id) {}
    ~device_object() override { winsim::close_device(id_); }
    device_object(const device_object&) = delete;
    device_object& operator=(const device_object&) = delete;

    winsim::open_id id() const { return id_; }

private:
    winsim::open_id id_;
};

} // namespace

HANDLE open_device_handle(LPCWSTR name, DWORD access, DWORD share) {
    const auto opened = winsim::open_device(name, access, share);
    SetLastError(opened.error);
    if (opened.error != 0) {
        return INVALID_HANDLE_VALUE;
    }
    return insert_handle(std::make_unique<device_object>(opened.id));
}

} // namespace winapi_host

using namespace winapi_host;

extern "C" BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer,
                                       DWORD nInBufferSize, LPVOID lpOutBuffer,
                                       DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                                       LPOVERLAPPED) {
    kernel_object* object = lookup_any(hDevice);
    auto* device = dynamic_cast<device_object*>(object);
    if (device == nullptr) {
        note_handle_misuse(hDevice, "DeviceIoControl");
        SetLastError(object == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    DWORD returned = 0;
    const DWORD error =
        winsim::device_control(device->id(), dwIoControlCode, lpInBuffer, nInBufferSize,
                               lpOutBuffer, nOutBufferSize, returned);
    if (lpBytesReturned != nullptr) {
        *lpBytesReturned = returned;
    }
    if (error != 0) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (!remove_handle(hObject)) {
        note_handle_misuse(hObject, "CloseHandle");
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
