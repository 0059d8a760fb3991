// NorrixUpdater's update flow over the scripted driver, on the bus the script picks: the SATA
// bus (ATA pass-through registers, busy retries) or the CSMI bus (STP pass-through, its
// ReturnCode, connection status and status FIS), the IDENTIFY data checked against one or
// two datafiles, and the download.
#include "NorrixUpdaterApp.h"
#include "ResultCodes.h"

#include "fuzz_environment.h"
#include "reply_script.h"
#include "scripted_driver.h"

#include <string>
#include <vector>

namespace {

std::wstring datafile;
std::wstring datafile2;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::prepare_environment();
    // Enough for several CSMI chunks and a last partial one; one chunk on the SATA bus.
    std::vector<uint8_t> image(6000);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(i * 13);
    }
    datafile = fuzz::write_work_file("norrix1.bin", image.data(), image.size());
    datafile2 = fuzz::write_work_file("norrix2.bin", image.data(), 512);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::reset_scripted_driver(data, size);
    fuzz::reply_script& script = fuzz::driver_script();
    const uint8_t choice = script.byte();

    CCustomCommandLineInfo& info = theApp.m_cmdInfo;
    info.m_bComplete = true;
    info.m_bVerbose = (choice & 0x02) != 0;
    info.m_strDatafile = datafile.c_str();
    info.m_strDatafile2 = (choice & 0x04) != 0 ? datafile2.c_str() : L"";
    info.m_strTarget = L"";
    info.m_strController = L"";
    info.m_strSasAddress = L"";
    if ((choice & 0x01) == 0) {
        info.m_strTarget = L"\\\\.\\PhysicalDrive2";
    } else {
        info.m_strController = L"2";
        // Address text as typed: up to 20 characters of any kind.
        std::wstring address;
        const uint8_t length = script.byte() % 21;
        for (uint8_t i = 0; i < length; ++i) {
            address += static_cast<wchar_t>(script.byte());
        }
        info.m_strSasAddress = address.empty() ? L"0" : address.c_str();
    }

    const int exit_code = theApp.RunUpdate();
    fuzz::require(exit_code >= NU_SUCCESS && exit_code <= NU_BAD_ARGUMENTS,
                  "the run ends with one of its exit codes");
    fuzz::require(fuzz::open_device_handles() == 0, "the bus closes the device");
    fuzz::require(exit_code != NU_SUCCESS || !fuzz::download_failure_left_standing(),
                  "a run that ends with success left no failed DOWNLOAD MICROCODE standing");
    return 0;
}
