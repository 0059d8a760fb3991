// Windows command lines: building one from the host's argv, and splitting one.
#pragma once

#include <string>
#include <vector>

namespace winapi_host {

// Quotes each argument so that CommandLineToArgvW gives it back unchanged;
// the first one follows the program-name rule (quoted whole when it has blanks).
std::wstring build_command_line(const std::vector<std::wstring>& arguments);

// Windows' splitting rules, as CommandLineToArgvW applies them.
std::vector<std::wstring> split_command_line(const std::wstring& command_line);

} // namespace winapi_host
