// Skelder: updates the firmware of Halvern ATA drives.

#include "device/device_context.h"
#include "main/command_line.h"
#include "main/csmi_scan.h"
#include "main/exit_code.h"
#include "main/run_settings.h"
#include "main/settings_echo.h"
#include "main/update_run.h"
#include "main/usage.h"

#include <windows.h>
#include <shellapi.h>
#include <stdio.h>

using namespace skelder;

int main(int argc, char** argv) {
    const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "";
    if (argc < 2) {
        print_banner();
        print_usage(program);
        return exit_command_line;
    }

    // The arguments are taken again as wide text; the vector lives until the process ends.
    int count = 0;
    static LPWSTR* arguments = nullptr;
    arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) {
        printf("CommandLineToArgvW failed\n");
        return exit_command_line;
    }

    device_context context;
    run_settings settings;
    const command_line_result parsed = parse_command_line(count, arguments, context, settings);
    switch (parsed.outcome) {
    case command_line_outcome::help:
        print_banner();
        print_usage(program);
        return exit_command_line;
    case command_line_outcome::error:
        print_command_line_error(parsed, program);
        return exit_command_line;
    case command_line_outcome::scan:
        print_banner();
        scan_csmi_devices(context.verbosity);
        return 0; // whatever the scan found
    case command_line_outcome::run:
        break;
    }

    if (context.verbosity != 0) {
        print_settings_echo(context, settings);
    }
    return run_update(context, settings);
}
