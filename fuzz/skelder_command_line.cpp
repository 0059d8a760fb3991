// Skelder's command line: any argument list (zero bytes separate the arguments), then the
// message of the error it ends with or the settings echo of "/v".
#include "main/command_line.h"
#include "main/settings_echo.h"

#include "fuzz_environment.h"

#include <cwchar>
#include <string>
#include <vector>

using namespace skelder;

namespace {

bool terminated(const WCHAR (&text)[max_path_chars]) {
    return std::wmemchr(text, L'\0', max_path_chars) != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::prepare_environment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::wstring> texts{L"skelder.exe"};
    std::wstring current;
    for (const wchar_t ch : fuzz::widen_bytes(data, size)) {
        if (ch == L'\0') {
            texts.push_back(current);
            current.clear();
        } else {
            current += ch;
        }
    }
    if (size != 0) {
        texts.push_back(current);
    }
    // As CommandLineToArgvW gives them: separate strings and a closing null pointer.
    std::vector<WCHAR*> arguments;
    for (std::wstring& text : texts) {
        arguments.push_back(text.data());
    }
    arguments.push_back(nullptr);

    device_context context;
    run_settings settings;
    const int count = static_cast<int>(texts.size());
    const command_line_result result =
        parse_command_line(count, arguments.data(), context, settings);
    switch (result.outcome) {
    case command_line_outcome::error:
        fuzz::require(result.error != command_line_error::none && result.argument != nullptr,
                      "an error names its kind and the argument at fault");
        print_command_line_error(result, "skelder.exe");
        break;
    case command_line_outcome::run:
        fuzz::require(terminated(settings.device_path) && terminated(settings.request.file_name),
                      "device path and file name end inside their fields");
        fuzz::require(settings.request.segment_blocks != 0, "a segment holds at least one block");
        print_settings_echo(context, settings);
        break;
    case command_line_outcome::scan:
    case command_line_outcome::help:
        fuzz::require(result.error == command_line_error::none, "help and scan are no errors");
        break;
    }
    return 0;
}
