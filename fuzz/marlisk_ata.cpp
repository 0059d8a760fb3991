// Marlisk's ATA path over the scripted driver: discovery reads IDENTIFY through SMART from
// every disk interface of the machine, then the update of the eligible drive queries the
// adapter descriptor and judges each DOWNLOAD MICROCODE by the returned task file.
#include "DravHDDUpdateApp.h"
#include "DriveDiscovery.h"
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
    image_name = fuzz::write_pattern_image("VOKA0101.enc", 2 * 512 + 100, 3);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::reset_scripted_driver(data, size);
    const uint8_t choice = fuzz::driver_script().byte();
    theApp.m_nExitCode = EXIT_UPDATE_SUCCESS;
    theApp.m_bLogOutput = (choice & 0x01) != 0 ? TRUE : FALSE;
    theApp.m_nRetryCount = (choice >> 1) % 3;
    theApp.m_strFirmwareFile = image_name.c_str();
    std::wcscpy(theApp.m_szNewFwRevision, L"VOKA0101");

    theApp.m_DriveList = EnumerateTargetDrives();
    fuzz::require(fuzz::open_device_handles() == 0, "discovery closes every disk");
    for (const HDD_INFO& drive : theApp.m_DriveList) {
        fuzz::require(IsTargetModel(drive.szModel), "only Dravoni drives are listed");
    }
    if (theApp.m_DriveList.empty()) {
        return 0;
    }
    theApp.m_strTargetPath = theApp.m_DriveList.front().szDevicePath;
    const int updated = theApp.FindTargetAndUpdate();
    fuzz::require(updated == 0 || theApp.m_nExitCode == EXIT_UPDATE_SUCCESS,
                  "an update that succeeded leaves exit code 0");
    fuzz::require(updated != 0 || theApp.m_nExitCode != EXIT_UPDATE_SUCCESS,
                  "an update that failed leaves a failure code");
    fuzz::require(updated == 0 || !fuzz::download_failure_left_standing(),
                  "a run that ends with success left no failed DOWNLOAD MICROCODE standing");
    fuzz::require(fuzz::open_device_handles() == 0, "the disk is closed");
    return 0;
}
