// Marlisk's CSMI path over the scripted driver: the RAID configuration of set 0 on each of
// ten controllers (SearchDeviceCsmi), IDENTIFY DEVICE through STP pass-through, then the
// block-by-block download whose connection status, ReturnCode and status FIS it judges.
#include "DravHDDUpdateApp.h"
#include "ExitCodes.h"

#include "fuzz_environment.h"
#include "reply_script.h"
#include "scripted_driver.h"

namespace {

std::wstring image_name;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::prepare_environment();
    // Two whole blocks and a partial one.
    image_name = fuzz::write_pattern_image("VOKA0101.enc", 2 * 512 + 100, 5);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::reset_scripted_driver(data, size);
    fuzz::reply_script& script = fuzz::driver_script();
    const uint8_t choice = script.byte();
    theApp.m_nExitCode = EXIT_UPDATE_SUCCESS;
    theApp.m_bLogOutput = (choice & 0x01) != 0 ? TRUE : FALSE;
    theApp.m_nCsmiPort = script.byte();
    uint8_t address[8] = {};
    script.copy(address, sizeof address);
    theApp.m_ullSasAddress = 0;
    for (const uint8_t byte : address) {
        theApp.m_ullSasAddress = theApp.m_ullSasAddress << 8 | byte;
    }

    const int updated = theApp.UpdateByCsmi(image_name.c_str(), L"VOKA0101", (choice >> 1) % 3);
    fuzz::require(updated == 0 || theApp.m_nExitCode == EXIT_UPDATE_SUCCESS,
                  "an update that succeeded leaves exit code 0");
    fuzz::require(updated != 0 || theApp.m_nExitCode != EXIT_UPDATE_SUCCESS,
                  "an update that failed leaves a failure code");
    fuzz::require(updated == 0 || !fuzz::download_failure_left_standing(),
                  "a run that ends with success left no failed DOWNLOAD MICROCODE standing");
    fuzz::require(fuzz::open_device_handles() == 0, "every controller is closed");
    return 0;
}
