#include "main/command_line.h"

#include "device/controller_name.h"
#include "main/decimal_number.h"
#include "main/usage.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

namespace skelder {

namespace {

constexpr uint8_t default_segment_blocks = 64;

// An argument matches an option when it begins with the option's characters, case included.
bool matches(const WCHAR* argument, const WCHAR* option) {
    return wcsncmp(argument, option, wcslen(option)) == 0;
}

command_line_result failure(command_line_error error, const WCHAR* argument,
                            const WCHAR* value = nullptr) {
    return {command_line_outcome::error, error, argument, value};
}

bool copy_path(WCHAR (&target)[max_path_chars], const WCHAR* text, size_t length) {
    if (length >= max_path_chars) {
        return false;
    }
    wmemcpy(target, text, length);
    target[length] = L'\0';
    return true;
}

int hex_digit(WCHAR c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}

// Exactly sixteen hexadecimal digits, pair n giving byte n. Anything else is refused: a
// mistyped digit read as 0, or a digit too many or too few, could name another drive.
bool read_sas_address(const WCHAR* text, uint8_t (&address)[8]) {
    if (wcslen(text) != 16) {
        return false;
    }
    for (size_t n = 0; n < 8; ++n) {
        const int high = hex_digit(text[2 * n]);
        const int low = hex_digit(text[2 * n + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        address[n] = static_cast<uint8_t>(high * 16 + low);
    }
    return true;
}

bool is_blank(WCHAR c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// The phy number after the last ':': nothing (phy 0), or leading blanks and decimal digits
// naming one of the table's 32 entries. A sign, a letter or a hexadecimal form is refused,
// not read as far as it goes: "1O" read as 1, or "-1" turned into an address search, would
// reach another drive.
bool read_phy_number(const WCHAR* text, int32_t& phy) {
    phy = 0;
    if (*text == L'\0') {
        return true;
    }
    while (is_blank(*text)) {
        ++text;
    }
    if (*text == L'\0') {
        return false;
    }
    for (; *text != L'\0'; ++text) {
        if (*text < L'0' || *text > L'9') {
            return false;
        }
        phy = phy * 10 + (*text - L'0');
        if (phy >= CSMI_SAS_MAX_PHYS) {
            return false;
        }
    }
    return true;
}

// "/C:" forms: controller path with phy number, or controller number with SAS address.
command_line_result parse_csmi_target(const WCHAR* argument, run_settings& settings) {
    const WCHAR* text = argument + 3;
    if (const WCHAR* colon = wcsrchr(text, L':')) {
        if (!copy_path(settings.device_path, text, static_cast<size_t>(colon - text) + 1)) {
            return failure(command_line_error::device_path_too_long, argument);
        }
        int32_t phy = 0;
        if (!read_phy_number(colon + 1, phy)) {
            return failure(command_line_error::invalid_phy_number, argument);
        }
        settings.phy_index = phy;
        return {command_line_outcome::run, command_line_error::none, nullptr, nullptr};
    }
    if (const WCHAR* comma = wcsrchr(text, L',')) {
        int32_t controller = 0;
        read_decimal(text, controller); // stops at the comma at the latest
        const std::wstring name = controller_name(controller);
        copy_path(settings.device_path, name.c_str(), name.size());
        if (!read_sas_address(comma + 1, settings.sas_address)) {
            return failure(command_line_error::invalid_sas_address, argument);
        }
        return {command_line_outcome::run, command_line_error::none, nullptr, nullptr};
    }
    return failure(command_line_error::invalid_csmi_target, argument);
}

command_line_result parse_target(const WCHAR* argument, device_context& context,
                                 run_settings& settings) {
    const command_line_result go_on{command_line_outcome::run, command_line_error::none, nullptr,
                                    nullptr};
    // "/?" is how Windows programs are asked for help.
    if (matches(argument, L"/h") || matches(argument, L"/H") || matches(argument, L"/?")) {
        return {command_line_outcome::help, command_line_error::none, nullptr, nullptr};
    }
    if (matches(argument, L"--scan")) {
        settings.options.scan = true;
        return go_on;
    }
    if (matches(argument, L"/C:")) {
        context.route_flags = route_csmi;
        return parse_csmi_target(argument, settings);
    }
    const WCHAR* path = argument;
    if (matches(argument, L"/T:")) {
        context.route_flags = route_ata;
        path = argument + 3;
    }
    if (!copy_path(settings.device_path, path, wcslen(path))) {
        return failure(command_line_error::device_path_too_long, argument);
    }
    return go_on;
}

// "/g" and "/r": the next argument is a signed 32-bit decimal number.
command_line_result take_number(int count, WCHAR* const* arguments, int& index, int32_t& value) {
    const WCHAR* option = arguments[index];
    if (index + 1 >= count) {
        return failure(command_line_error::number_missing, option);
    }
    const WCHAR* text = arguments[++index];
    if (read_decimal(text, value) != number_reading::valid) {
        return failure(command_line_error::invalid_number, option, text);
    }
    return {command_line_outcome::run, command_line_error::none, nullptr, nullptr};
}

command_line_result parse_options(int count, WCHAR* const* arguments, device_context& context,
                                  run_settings& settings) {
    download_request& request = settings.request;
    for (int index = 2; index < count; ++index) {
        const WCHAR* argument = arguments[index];
        if (matches(argument, L"/D:")) {
            if (!copy_path(request.file_name, argument + 3, wcslen(argument + 3))) {
                return failure(command_line_error::file_name_too_long, argument);
            }
            settings.options.download = true;
        } else if (matches(argument, L"/s")) {
            request.subcommand = dm_segmented_immediate;
        } else if (matches(argument, L"/g")) {
            int32_t blocks = 0;
            const command_line_result taken = take_number(count, arguments, index, blocks);
            if (taken.outcome == command_line_outcome::error) {
                return taken;
            }
            // Only the low 8 bits count; a value whose low byte is 0 keeps the segment size.
            if ((blocks & 0xFF) != 0) {
                request.segment_blocks = static_cast<uint8_t>(blocks & 0xFF);
            }
        } else if (matches(argument, L"/vv")) {
            context.verbosity = 2;
        } else if (matches(argument, L"/v")) {
            context.verbosity = 1;
        } else if (matches(argument, L"/i")) {
            settings.options.show_info = true;
        } else if (matches(argument, L"/r")) {
            const command_line_result taken =
                take_number(count, arguments, index, settings.retry_count);
            if (taken.outcome == command_line_outcome::error) {
                return taken;
            }
        } else if (matches(argument, L"/e")) {
            request.subcommand = dm_segmented_deferred;
        } else if (matches(argument, L"/a")) {
            settings.options.activate = true;
        } else if (matches(argument, L"/l")) {
            settings.options.l_flag = true;
        } else {
            return failure(command_line_error::unrecognised_option, argument);
        }
    }
    return {settings.options.scan ? command_line_outcome::scan : command_line_outcome::run,
            command_line_error::none, nullptr, nullptr};
}

} // namespace

command_line_result parse_command_line(int count, WCHAR* const* arguments, device_context& context,
                                       run_settings& settings) {
    memset(&context, 0, sizeof(context));
    memset(&settings, 0, sizeof(settings));
    context.route_flags = route_scsi;
    context.cdb_flags = cdb_flag_16_byte;
    settings.phy_index = -1;
    settings.request.subcommand = dm_whole_immediate;
    settings.request.segment_blocks = default_segment_blocks;

    if (count < 2) {
        return {command_line_outcome::help, command_line_error::none, nullptr, nullptr};
    }
    const command_line_result target = parse_target(arguments[1], context, settings);
    if (target.outcome != command_line_outcome::run) {
        return target;
    }
    return parse_options(count, arguments, context, settings);
}

void print_command_line_error(const command_line_result& result, const char* program) {
    switch (result.error) {
    case command_line_error::invalid_csmi_target:
        printf("Invalid Command Line Option: %ls\n", result.argument);
        break;
    case command_line_error::unrecognised_option:
        printf("\nError in command line at %ls\n", result.argument);
        break;
    case command_line_error::number_missing:
        printf("\nNumber missing after %ls\n", result.argument);
        break;
    case command_line_error::invalid_number:
        printf("\nInvalid number after %ls: %ls\n", result.argument, result.value);
        break;
    case command_line_error::device_path_too_long:
        printf("\nDevice path too long (259 characters at most) in %ls\n", result.argument);
        break;
    case command_line_error::file_name_too_long:
        printf("\nFile name too long (259 characters at most) in %ls\n", result.argument);
        break;
    case command_line_error::invalid_phy_number:
        printf("\nInvalid phy number (0 to 31 expected) in %ls\n", result.argument);
        break;
    case command_line_error::invalid_sas_address:
        printf("\nInvalid SAS address (16 hexadecimal digits expected) in %ls\n", result.argument);
        break;
    case command_line_error::none:
        return;
    }
    print_usage(program);
}

} // namespace skelder
