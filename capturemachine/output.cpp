#include "output.h"

#include <windows.h>

#include <cstdio>

namespace capture {

unsigned long write_output(const std::wstring& file, const std::string& text) {
    if (file.empty()) {
        const bool whole = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
        return whole && std::fflush(stdout) == 0 ? 0 : 1;
    }
    HANDLE out = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        return ::GetLastError();
    }
    DWORD written = 0;
    const bool whole =
        ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != 0 &&
        written == text.size();
    const unsigned long error = whole ? 0 : ::GetLastError();
    ::CloseHandle(out);
    return whole ? 0 : (error != 0 ? error : ERROR_WRITE_FAULT);
}

} // namespace capture
