// Skelder's CSMI route: the phy lookup in the controller's phy table (by phy number or by SAS
// address, with or without "/l"), then IDENTIFY DEVICE through STP pass-through, whose
// status FIS the route judges.
#include "device/csmi_transport.h"
#include "device/drive_identity.h"
#include "device/result_codes.h"
#include "device/signature_identify.h"
#include "download/read_identify.h"

#include "fuzz_environment.h"
#include "reply_script.h"
#include "scripted_driver.h"

#include <cstring>

using namespace skelder;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::prepare_environment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::reset_scripted_driver(data, size);
    fuzz::reply_script& script = fuzz::driver_script();
    device_context context;
    std::memset(&context, 0, sizeof context);
    context.route_flags = route_csmi;
    const uint8_t choice = script.byte();
    context.verbosity = choice % 3;
    const bool l_flag = ((choice >> 2) & 1) != 0;
    // A phy number from the command line (any value "/C:" reads) or -1: find it by address.
    int32_t phy_index = (choice & 0x08) != 0 ? static_cast<int32_t>(script.dword()) : -1;
    uint8_t sas_address[8] = {};
    script.copy(sas_address, sizeof sas_address);

    if (open_csmi_device(context, L"\\\\.\\SCSI2:", phy_index, sas_address, l_flag) ==
        result_completed) {
        fuzz::require(l_flag || (phy_index >= 0 && phy_index < CSMI_SAS_MAX_PHYS),
                      "the chosen phy is an entry of the table");
        drive_identity identity;
        if (read_identify(context, identity, identify_purpose::gate) == result_completed) {
            send_signature_identify(context);
        }
    }
    if (context.handle != INVALID_HANDLE_VALUE && context.handle != nullptr) {
        CloseHandle(context.handle);
    }
    return 0;
}
