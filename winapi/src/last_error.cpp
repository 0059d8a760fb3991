// The thread's last-error value.
#include <windows.h>

namespace {
thread_local DWORD last_error_value = 0;
}

extern "C" DWORD WINAPI GetLastError(void) {
    return last_error_value;
}

extern "C" void WINAPI SetLastError(DWORD dwErrCode) {
    last_error_value = dwErrCode;
}
