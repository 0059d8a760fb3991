// capture-machine [/o:<file>] [/shareable] | /?
#pragma once

#include <string>

namespace capture {

struct command_line {
    enum class outcome { run, help, error };
    outcome result = outcome::run;
    std::wstring output_file; // empty: standard output
    bool shareable = false;
    std::wstring unknown; // the argument not understood
};

command_line parse_command_line(int count, wchar_t** arguments);

} // namespace capture
