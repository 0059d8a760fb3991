// Conversions between the host's UTF-8 text and wide strings, independent of the locale.
#pragma once

#include <string>
#include <string_view>

namespace winapi_host {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);

// Copies text into a caller's WCHAR buffer the way Windows' "get string" calls do:
// returns the length without the terminator when it fits, else the size needed
// including the terminator (and leaves the buffer untouched).
unsigned copy_out(std::wstring_view text, wchar_t* buffer, unsigned size);

} // namespace winapi_host
