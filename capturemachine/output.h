// Where the description goes: standard output, or a file the command line names.
#pragma once

#include <string>

namespace capture {

// Returns the Windows error (or, for standard output, 1) when the text could not be written whole.
unsigned long write_output(const std::wstring& file, const std::string& text);

} // namespace capture
