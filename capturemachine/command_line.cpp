#include "command_line.h"

#include <cwctype>

namespace capture {
namespace {

bool same_ignoring_case(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) {
            return false;
        }
    }
    return true;
}

} // namespace

command_line parse_command_line(int count, wchar_t** arguments) {
    command_line parsed;
    for (int i = 1; i < count; ++i) {
        const std::wstring argument = arguments[i];
        if (argument == L"/?" || same_ignoring_case(argument, L"/h")) {
            parsed.result = command_line::outcome::help;
            return parsed;
        }
        if (same_ignoring_case(argument, L"/shareable")) {
            parsed.shareable = true;
        } else if (argument.size() > 3 && same_ignoring_case(argument.substr(0, 3), L"/o:")) {
            parsed.output_file = argument.substr(3);
        } else {
            parsed.result = command_line::outcome::error;
            parsed.unknown = argument;
            return parsed;
        }
    }
    return parsed;
}

} // namespace capture
