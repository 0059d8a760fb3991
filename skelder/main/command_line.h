#pragma once
// The command-line grammar: route and target from argument 1, options from argument 2 on.

#include "device/device_context.h"
#include "main/run_settings.h"

namespace skelder {

enum class command_line_outcome { run, scan, help, error };

enum class command_line_error {
    none,
    invalid_csmi_target, // "/C:" text with neither ':' nor ','
    unrecognised_option,
    number_missing, // "/g" or "/r" as the last argument
    invalid_number, // not a signed 32-bit decimal number
    device_path_too_long,
    file_name_too_long,
    invalid_sas_address,
    invalid_phy_number, // after the last ':' of "/C:": not 0 to 31 in decimal digits
};

struct command_line_result {
    command_line_outcome outcome;
    command_line_error error;
    const WCHAR* argument; // the argument at fault
    const WCHAR* value;    // for invalid_number: the value that follows the option
};

// Zero-fills the record and the settings, applies their defaults and then the arguments
// (arguments[0] is the program). Prints nothing.
command_line_result parse_command_line(int count, WCHAR* const* arguments, device_context& context,
                                       run_settings& settings);

// Prints the message of a command-line error, then the usage text.
void print_command_line_error(const command_line_result& result, const char* program);

} // namespace skelder
