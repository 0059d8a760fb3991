#include "scripted_command_line.h"

#include <windows.h>

extern "C" LPWSTR __real_GetCommandLineW(void);

namespace fuzz {

namespace {
std::wstring& current_line() {
    static std::wstring line;
    return line;
}
bool line_set = false;
} // namespace

void set_command_line(const std::wstring& line) {
    current_line() = line;
    line_set = true;
}

} // namespace fuzz

extern "C" LPWSTR __wrap_GetCommandLineW(void) {
    if (!fuzz::line_set) {
        return __real_GetCommandLineW();
    }
    return fuzz::current_line().data();
}
