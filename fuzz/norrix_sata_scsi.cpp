// The SATA bus's SCSI pass-through operations, which the update flow does not call: SET
// FEATURES and a data-in ATA PASS-THROUGH (12) in buffered IOCTL_SCSI_PASS_THROUGH requests,
// the SCSI status and the sense bytes the driver returns.
#include "NorrixUpdaterApp.h"
#include "ResultCodes.h"
#include "SataBus.h"

#include "fuzz_environment.h"
#include "reply_script.h"
#include "scripted_driver.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::prepare_environment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::reset_scripted_driver(data, size);
    theApp.m_cmdInfo.m_bVerbose = (fuzz::driver_script().byte() & 0x01) != 0;
    {
        CSataBus bus(L"\\\\.\\PhysicalDrive2");
        if (bus.Open() == NU_SUCCESS) {
            for (int i = 0; i < 2; ++i) {
                const int disabled = bus.DisableSettingsPreservation();
                const int read = bus.ReadPassThroughData();
                fuzz::require(disabled == NU_SUCCESS || disabled == NU_IOCTL_FAILED ||
                                  disabled == NU_DRIVE_ERROR,
                              "SET FEATURES ends with a bus result");
                fuzz::require(read == NU_SUCCESS || read == NU_IOCTL_FAILED ||
                                  read == NU_DRIVE_ERROR,
                              "the data-in request ends with a bus result");
            }
        }
    }
    fuzz::require(fuzz::open_device_handles() == 0, "the bus closes the device");
    return 0;
}
