#include <winsim/api.h>

#include <windows.h>

#include <chrono>
#include <thread>

namespace winsim {

bool is_device_name(std::wstring_view name) {
    if (name.rfind(L"\\\\.\\", 0) == 0) {
        return true;
    }
    return name.rfind(L"\\\\?\\", 0) == 0 && !(name.size() >= 6 && name[5] == L':');
}

open_result open_device(std::wstring_view, std::uint32_t, std::uint32_t) {
    return {ERROR_FILE_NOT_FOUND, 0};
}

void close_device(open_id) {}

std::uint32_t device_control(open_id, std::uint32_t, void*, std::uint32_t, void*, std::uint32_t,
                             std::uint32_t& returned) {
    returned = 0;
    return ERROR_INVALID_HANDLE;
}

void sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::uint64_t tick_ms() {
    return 0;
}

bool machine_is_64bit() {
    return true;
}

bool mutex_held_elsewhere(std::wstring_view) {
    return false;
}

std::optional<std::string> dos_drive_root(char letter) {
    if (letter == 'Z') {
        return std::string("/");
    }
    return std::nullopt;
}

void record_process_exit(int) {}

} // namespace winsim
