// Skelder's IDENTIFY DEVICE reader and the capabilities log page, over the route the script
// picks: texts, security state, download capabilities, the information "/i" prints and the
// security gate.
#include "device/drive_identity.h"
#include "device/result_codes.h"
#include "download/print_drive_info.h"
#include "download/read_identify.h"
#include "download/security.h"

#include "fuzz_environment.h"
#include "skelder_target.h"

using namespace skelder;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::prepare_environment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bool l_flag = false;
    device_context context = fuzz::skelder_record(data, size, &l_flag);
    if (context.handle == INVALID_HANDLE_VALUE) {
        return 0;
    }
    drive_identity identity;
    // Twice, as the run identifies before and after the download.
    for (int pass = 0; pass < 2; ++pass) {
        if (read_identify(context, identity, identify_purpose::gate) != result_completed) {
            break;
        }
        fuzz::require(context.data_buffer == nullptr, "no buffer outlives its reading call");
        fuzz::require(identity.serial_number.size() <= 20 && identity.model.size() <= 40 &&
                          identity.firmware_revision.size() <= 8,
                      "texts fit their IDENTIFY fields");
        print_drive_info(identity, 64);
        security_gate(identity, l_flag, context.verbosity);
    }
    CloseHandle(context.handle);
    return 0;
}
