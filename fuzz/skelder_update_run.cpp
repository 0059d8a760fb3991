// Skelder's whole update run over the scripted driver: open, SCSI identity, IDENTIFY, the
// gate, the signature IDENTIFY, the download with retries, activation and the closing
// IDENTIFY, on the route, download mode and options the script picks.
#include "device/result_codes.h"
#include "main/exit_code.h"
#include "main/run_settings.h"
#include "main/update_run.h"

#include "fuzz_environment.h"
#include "reply_script.h"
#include "scripted_driver.h"

#include <cstring>
#include <cwchar>
#include <string>

using namespace skelder;

namespace {

std::wstring image_name;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::prepare_environment();
    // Three 512-byte blocks: with segments of one or two blocks the engine sends several.
    image_name = fuzz::write_pattern_image("skelder.bin", 3 * 512, 7);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::reset_scripted_driver(data, size);
    fuzz::reply_script& script = fuzz::driver_script();
    const uint8_t route = script.byte();
    const uint8_t options = script.byte();

    device_context context;
    run_settings settings;
    std::memset(&context, 0, sizeof context);
    std::memset(&settings, 0, sizeof settings);
    constexpr uint64_t routes[3] = {route_scsi, route_ata, route_csmi};
    context.route_flags = routes[route % 3];
    context.cdb_flags = cdb_flag_16_byte | ((route & 0x04) != 0 ? cdb_flag_check_condition : 0);
    context.verbosity = (route >> 3) % 3;
    settings.options.l_flag = ((route >> 5) & 1) != 0;
    if ((context.route_flags & route_csmi) != 0) {
        std::wcscpy(settings.device_path, L"\\\\.\\SCSI2:");
        settings.phy_index = (route & 0x40) != 0 ? script.byte() % 34 : -1;
        script.copy(settings.sas_address, sizeof settings.sas_address);
    } else {
        std::wcscpy(settings.device_path, L"\\\\.\\PhysicalDrive0");
    }
    constexpr uint8_t subcommands[3] = {0x03, 0x07, 0x0E};
    settings.request.subcommand = subcommands[options % 3];
    settings.request.segment_blocks = static_cast<uint8_t>(1 + (options >> 2) % 3);
    settings.retry_count = (options >> 4) % 3;
    if ((options & 0x40) != 0) {
        settings.options.download = true;
        std::wcscpy(settings.request.file_name, image_name.c_str());
    }
    if ((options & 0x80) != 0) {
        settings.options.activate = true;
    }

    const int exit_code = run_update(context, settings);
    fuzz::require(exit_code == 0 || exit_code == 1 || exit_code == 2 || exit_code == 4 ||
                      exit_code == 5 || exit_code == 6 || exit_code == 9 || exit_code == 10,
                  "the run ends with one of its exit codes");
    fuzz::require(exit_code != 0 || !fuzz::download_failure_left_standing(),
                  "a run that ends with success left no failed DOWNLOAD MICROCODE standing");
    return 0;
}
