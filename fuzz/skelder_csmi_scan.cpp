// Skelder's "--scan": fifteen controllers whose drivers answer from the script (driver
// information, controller configuration, phy tables, STP IDENTIFY and SSP INQUIRY replies).
#include "main/csmi_scan.h"

#include "fuzz_environment.h"
#include "reply_script.h"
#include "scripted_driver.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::prepare_environment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::reset_scripted_driver(data, size);
    const int32_t verbosity = fuzz::driver_script().byte() % 3;
    fuzz::require(skelder::scan_csmi_devices(verbosity) == 0, "the scan always ends with 0");
    fuzz::require(fuzz::open_device_handles() == 0, "the scan closes every controller");
    return 0;
}
