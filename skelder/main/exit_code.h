#pragma once
#include "device/result_codes.h"

#include <cstdint>

namespace skelder {

// Process exit codes that the run produces besides the mapped result.
inline constexpr int exit_security_refused = 6;
inline constexpr int exit_command_line = 8;
inline constexpr int exit_other_failure = 10; // also the "/i" information run

// Maps the run's last result code to the process exit code.
int map_exit_code(result_code result);

} // namespace skelder
