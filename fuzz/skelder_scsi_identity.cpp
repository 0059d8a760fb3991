// Skelder's SCSI identity: INQUIRY and the unit serial number page as a driver returns them,
// then the texts printed as "/i" prints them.
#include "device/drive_identity.h"
#include "device/scsi_identity.h"
#include "download/print_drive_info.h"

#include "fuzz_environment.h"
#include "skelder_target.h"

using namespace skelder;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::prepare_environment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    device_context context = fuzz::skelder_record(data, size);
    if (context.handle == INVALID_HANDLE_VALUE) {
        return 0;
    }
    drive_identity identity;
    read_scsi_identity(context, identity);
    fuzz::require(identity.serial_number.size() <= 20, "the serial number is cut to 20 bytes");
    print_drive_info(identity, 64);
    CloseHandle(context.handle);
    return 0;
}
