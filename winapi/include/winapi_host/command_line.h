// The stand-in's command line, for code that runs a program's parts many times in one host
// process (the fuzz targets): from the call on, GetCommandLineW gives this line instead of the
// one the process was started with. A line it gave out before the call is no longer valid.
#pragma once

#include <string>

namespace winapi_host {

void set_process_command_line(const std::wstring& line);

} // namespace winapi_host
