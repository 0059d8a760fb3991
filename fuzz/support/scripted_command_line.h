#pragma once
// The process command line as GetCommandLineW gives it, set by a target. The targets link with
// --wrap=GetCommandLineW, so the framework's parsing reads this line.

#include <string>

namespace fuzz {

void set_command_line(const std::wstring& line);

} // namespace fuzz
