// Windows and dialogs on the host: nothing is drawn; each window is a record, and what a
// program does to it goes to the trace as a "window" event (create, show, hide, text, range,
// pos, destroy) with the control id. A progress bar keeps its range and clamps positions to
// it, as msctls_progress32 does.
#include "wide_text.h"

#include <commctrl.h>
#include <windows.h>

#include <winsim/api.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>

namespace {

struct window_record {
    HWND parent = nullptr;
    int control_id = 0; // 0 for a top-level window
    int template_id = 0;
    int low = 0;
    int high = 100; // a new progress bar's range is 0 to 100
    int pos = 0;
};

std::mutex windows_lock;
std::map<HWND, window_record>& windows() {
    static auto* table = new std::map<HWND, window_record>;
    return *table;
}
std::uintptr_t next_window = 0x10000;

HWND new_window(const window_record& record) {
    next_window += 4;
    const auto handle = reinterpret_cast<HWND>(next_window);
    windows()[handle] = record;
    return handle;
}

void trace_event(const char* event, const window_record& record, nlohmann::json extra = {}) {
    nlohmann::json line = extra.is_object() ? std::move(extra) : nlohmann::json::object();
    line["call"] = "window";
    line["event"] = event;
    if (record.control_id != 0) {
        line["control"] = record.control_id;
    } else {
        line["template"] = record.template_id;
    }
    winsim::trace_record(line);
}

window_record* find(HWND handle) {
    const auto found = windows().find(handle);
    if (found == windows().end()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return &found->second;
}

} // namespace

extern "C" HWND WINAPI CreateDialogParamW(HINSTANCE, LPCWSTR lpTemplateName, HWND hWndParent,
                                          DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    HWND dialog = nullptr;
    {
        std::lock_guard guard(windows_lock);
        window_record record;
        record.parent = hWndParent;
        // A template named by number: MAKEINTRESOURCE puts it in the pointer's low word.
        const auto id = reinterpret_cast<std::uintptr_t>(lpTemplateName);
        record.template_id = id <= 0xFFFF ? static_cast<int>(id) : -1;
        dialog = new_window(record);
        trace_event(
            "create", record,
            {{"parent", hWndParent != nullptr}, {"has_dialog_proc", lpDialogFunc != nullptr}});
    }
    if (lpDialogFunc != nullptr) {
        lpDialogFunc(dialog, WM_INITDIALOG, 0, dwInitParam);
    }
    return dialog;
}

extern "C" HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
    std::lock_guard guard(windows_lock);
    if (find(hDlg) == nullptr) {
        return nullptr;
    }
    for (const auto& [handle, record] : windows()) {
        if (record.parent == hDlg && record.control_id == nIDDlgItem) {
            return handle;
        }
    }
    // The host knows no templates: a control exists as soon as it is asked for.
    window_record control;
    control.parent = hDlg;
    control.control_id = nIDDlgItem;
    return new_window(control);
}

extern "C" int WINAPI GetDlgCtrlID(HWND hWnd) {
    std::lock_guard guard(windows_lock);
    const auto* record = find(hWnd);
    return record != nullptr ? record->control_id : 0;
}

extern "C" BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
    std::lock_guard guard(windows_lock);
    const auto* record = find(hWnd);
    if (record == nullptr) {
        return FALSE;
    }
    trace_event("text", *record,
                {{"value", winapi_host::narrow(lpString != nullptr ? lpString : L"")}});
    return TRUE;
}

extern "C" BOOL WINAPI SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString) {
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control != nullptr && SetWindowTextW(control, lpString);
}

extern "C" LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    std::lock_guard guard(windows_lock);
    auto* record = find(hWnd);
    if (record == nullptr) {
        return 0;
    }
    switch (Msg) {
    case PBM_SETRANGE32: {
        const int previous = static_cast<int>((record->low & 0xFFFF) | (record->high << 16));
        record->low = static_cast<int>(wParam);
        record->high = static_cast<int>(lParam);
        record->pos = std::clamp(record->pos, record->low, std::max(record->low, record->high));
        trace_event("range", *record, {{"low", record->low}, {"high", record->high}});
        return previous;
    }
    case PBM_SETPOS: {
        const int previous = record->pos;
        const int wanted = static_cast<int>(wParam);
        record->pos = std::clamp(wanted, record->low, std::max(record->low, record->high));
        trace_event("pos", *record, {{"value", record->pos}, {"requested", wanted}});
        return previous;
    }
    case PBM_GETPOS:
        return record->pos;
    case WM_SETTEXT:
        trace_event("text", *record,
                    {{"value", winapi_host::narrow(reinterpret_cast<LPCWSTR>(lParam))}});
        return TRUE;
    default:
        return 0;
    }
}

extern "C" BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    std::lock_guard guard(windows_lock);
    const auto* record = find(hWnd);
    if (record == nullptr) {
        return FALSE;
    }
    trace_event(nCmdShow == SW_HIDE ? "hide" : "show", *record, {{"value", nCmdShow}});
    return TRUE;
}

extern "C" BOOL WINAPI UpdateWindow(HWND hWnd) {
    std::lock_guard guard(windows_lock);
    return find(hWnd) != nullptr;
}

extern "C" BOOL WINAPI IsWindow(HWND hWnd) {
    std::lock_guard guard(windows_lock);
    return windows().count(hWnd) != 0;
}

extern "C" BOOL WINAPI DestroyWindow(HWND hWnd) {
    std::lock_guard guard(windows_lock);
    const auto* record = find(hWnd);
    if (record == nullptr) {
        return FALSE;
    }
    trace_event("destroy", *record);
    // Children go with their parent.
    for (auto it = windows().begin(); it != windows().end();) {
        it = it->second.parent == hWnd ? windows().erase(it) : std::next(it);
    }
    windows().erase(hWnd);
    return TRUE;
}

extern "C" BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
    return picce != nullptr && picce->dwSize == sizeof(INITCOMMONCONTROLSEX) ? TRUE : FALSE;
}
