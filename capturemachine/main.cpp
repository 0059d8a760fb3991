// capture-machine: describes the machine it runs on as a machine description for the dry-run
// programs, sending the disks and controllers nothing but queries (docs/capture-machine.md).
#include "anonymise.h"
#include "command_line.h"
#include "csmi_probe.h"
#include "description_writer.h"
#include "disk_probe.h"
#include "exit_codes.h"
#include "output.h"
#include "process_facts.h"
#include "setup_probe.h"

#include "program_version.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <ctime>
#include <string>

using namespace capture;

namespace {

void print_usage() {
    std::printf("capture-machine %s: describes this machine's disks, drives and RAID controllers\n"
                "as a machine description for the dry-run programs. It only reads.\n\n"
                "Usage: capture-machine [/o:<file>] [/shareable]\n"
                "  /o:<file>    write the description to <file> (default: standard output)\n"
                "  /shareable   replace serial numbers with placeholders (SAS addresses stay)\n"
                "  /?           this text\n\n"
                "Run it from an administrator console. Exit codes: 0 written, 3 the output could\n"
                "not be written, 5 no administrator rights, 8 this text or a command-line "
                "error.\n",
                PROGRAM_VERSION_TEXT);
}

// A wide argument in a narrow message: characters beyond ASCII as '?'.
std::string printable(const std::wstring& text) {
    std::string out;
    for (const wchar_t ch : text) {
        out += ch >= 0x20 && ch < 0x7F ? static_cast<char>(ch) : '?';
    }
    return out;
}

std::string utc_now() {
    const std::time_t now = std::time(nullptr);
    char text[32] = {};
    if (const std::tm* utc = std::gmtime(&now)) {
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
    }
    return text;
}

} // namespace

int main() {
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (arguments == nullptr) {
        std::fputs("capture-machine: the command line could not be read\n", stderr);
        return exit_command_line;
    }
    const auto parsed = parse_command_line(count, arguments);
    ::LocalFree(arguments);
    if (parsed.result != command_line::outcome::run) {
        if (parsed.result == command_line::outcome::error) {
            std::fprintf(stderr, "capture-machine: not understood: %s\n",
                         printable(parsed.unknown).c_str());
        }
        print_usage();
        return exit_command_line;
    }

    // Without administrator rights no disk opens for queries: say so, rather than describe an
    // empty machine.
    if (!running_elevated()) {
        std::fputs("capture-machine: administrator rights are needed to read the disks and "
                   "controllers; run it from an administrator console. Nothing was read.\n",
                   stderr);
        return exit_not_elevated;
    }

    machine_record machine;
    machine.elevated = true;
    machine.windows_64bit = windows_is_64bit();
    probe_disks(machine);
    probe_controllers(machine);
    probe_setup_devices(machine);
    tie_disk_interfaces(machine);
    if (parsed.shareable) {
        anonymise(machine);
    }
    const auto text = describe(machine, {PROGRAM_VERSION_TEXT, utc_now(), parsed.shareable});
    if (const auto error = write_output(parsed.output_file, text); error != 0) {
        std::fprintf(stderr,
                     "capture-machine: the description could not be written to %s "
                     "(error %lu)\n",
                     parsed.output_file.empty() ? "standard output"
                                                : printable(parsed.output_file).c_str(),
                     error);
        return exit_output_not_written;
    }
    return exit_described;
}
