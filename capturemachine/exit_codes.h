// capture-machine's exit codes (docs/capture-machine.md). None is 70 or 78, the dry-run
// flavour's own.
#pragma once

namespace capture {

inline constexpr int exit_described = 0;          // the description was written
inline constexpr int exit_output_not_written = 3; // the output file could not be written
inline constexpr int exit_not_elevated = 5;       // no administrator rights: nothing was read
inline constexpr int exit_command_line = 8;       // /?, or an argument not understood

} // namespace capture
