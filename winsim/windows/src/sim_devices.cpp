// Device handles of the test flavour: device names open on the simulated machine, other
// names on Windows. Device handles come from a range of their own, far above the small
// multiples of four that Windows (and Wine) give, so CloseHandle can tell them apart.
#include "fwu_sim_entry_points.h"

#include <winsim/api.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <map>
#include <mutex>

namespace {

constexpr std::uintptr_t first_device_handle = 0x7E000000;

struct device_table {
    std::mutex lock;
    std::map<std::uintptr_t, winsim::open_id> opens;
    std::uintptr_t next = first_device_handle;
};

// Never destroyed: the exit record is written after static destructors may have run.
device_table& devices() {
    static auto* table = new device_table;
    return *table;
}

std::uintptr_t key_of(HANDLE handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

bool find_device(HANDLE handle, winsim::open_id& id) {
    auto& table = devices();
    std::lock_guard guard(table.lock);
    const auto found = table.opens.find(key_of(handle));
    if (found == table.opens.end()) {
        return false;
    }
    id = found->second;
    return true;
}

// With FWU_SIM_ANSWER_MESSAGES=1, each device call and pause first answers the messages
// other processes sent to this thread's windows (only those: posted and input messages
// stay queued). The programs run no message loop during a transfer, so a helper that
// asks the progress bar for its position would otherwise wait for the end.
void answer_sent_messages() {
    static const bool answer = [] {
        const char* setting = std::getenv("FWU_SIM_ANSWER_MESSAGES");
        return setting != nullptr && std::string_view(setting) == "1";
    }();
    if (answer) {
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// With FWU_SIM_HOLD_FILE naming a file, the device call numbered FWU_SIM_HOLD_AT_CALL (from
// 1) and every later one wait while that file exists, answering sent messages, for two
// minutes at most. A helper that inspects the progress window removes the file when done, so
// the transfer cannot end before the helper has looked, however slowly Wine starts it.
void hold_while_asked() {
    static const char* const file = std::getenv("FWU_SIM_HOLD_FILE");
    static const unsigned long at_call = [] {
        const char* setting = std::getenv("FWU_SIM_HOLD_AT_CALL");
        return setting != nullptr ? std::strtoul(setting, nullptr, 10) : 0UL;
    }();
    static unsigned long calls = 0;
    if (file == nullptr || ++calls < at_call) {
        return;
    }
    constexpr DWORD longest_hold_ms = 120000;
    constexpr DWORD step_ms = 50;
    for (DWORD waited = 0;
         waited < longest_hold_ms && ::GetFileAttributesA(file) != INVALID_FILE_ATTRIBUTES;
         waited += step_ms) {
        answer_sent_messages();
        ::Sleep(step_ms);
    }
}

} // namespace

extern "C" HANDLE WINAPI fwu_sim_CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess,
                                             DWORD dwShareMode,
                                             LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                             DWORD dwCreationDisposition,
                                             DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    if (lpFileName == nullptr || !winsim::is_device_name(lpFileName)) {
        return ::CreateFileW(lpFileName, dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                             dwCreationDisposition, dwFlagsAndAttributes, hTemplateFile);
    }
    const auto opened = winsim::open_device(lpFileName, dwDesiredAccess, dwShareMode);
    if (opened.error != 0) {
        ::SetLastError(opened.error);
        return INVALID_HANDLE_VALUE;
    }
    auto& table = devices();
    std::lock_guard guard(table.lock);
    const auto key = table.next;
    table.next += 4;
    table.opens.emplace(key, opened.id);
    ::SetLastError(0);
    return reinterpret_cast<HANDLE>(key);
}

extern "C" BOOL WINAPI fwu_sim_DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode,
                                               LPVOID lpInBuffer, DWORD nInBufferSize,
                                               LPVOID lpOutBuffer, DWORD nOutBufferSize,
                                               LPDWORD lpBytesReturned, LPOVERLAPPED) {
    answer_sent_messages();
    hold_while_asked();
    winsim::open_id id = 0;
    if (!find_device(hDevice, id)) {
        // A file or console handle: Windows refuses device requests on those too.
        ::SetLastError(hDevice == INVALID_HANDLE_VALUE || hDevice == nullptr
                           ? ERROR_INVALID_HANDLE
                           : ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    std::uint32_t returned = 0;
    const auto error = winsim::device_control(id, dwIoControlCode, lpInBuffer, nInBufferSize,
                                              lpOutBuffer, nOutBufferSize, returned);
    if (lpBytesReturned != nullptr) {
        *lpBytesReturned = returned;
    }
    if (error != 0) {
        ::SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL WINAPI fwu_sim_CloseHandle(HANDLE hObject) {
    winsim::open_id id = 0;
    {
        auto& table = devices();
        std::lock_guard guard(table.lock);
        const auto found = table.opens.find(key_of(hObject));
        if (found == table.opens.end()) {
            return ::CloseHandle(hObject);
        }
        id = found->second;
        table.opens.erase(found);
    }
    winsim::close_device(id);
    return TRUE;
}

extern "C" VOID WINAPI fwu_sim_Sleep(DWORD dwMilliseconds) {
    answer_sent_messages();
    winsim::sleep(dwMilliseconds);
}

extern "C" DWORD WINAPI fwu_sim_GetTickCount(void) {
    return static_cast<DWORD>(winsim::tick_ms());
}

extern "C" ULONGLONG WINAPI fwu_sim_GetTickCount64(void) {
    return winsim::tick_ms();
}
