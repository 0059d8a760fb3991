#pragma once
// A Skelder device record opened on the scripted driver, for the targets that read replies.

#include "device/device_context.h"

#include "reply_script.h"
#include "scripted_driver.h"

#include <windows.h>

#include <cstring>

namespace fuzz {

// The route (SCSI, ATA or CSMI), the verbosity and "/l" come from the script's first byte;
// the disk is opened through the scripted driver like the run opens it.
inline skelder::device_context skelder_record(const uint8_t* data, size_t size,
                                              bool* l_flag = nullptr) {
    reset_scripted_driver(data, size);
    skelder::device_context context;
    std::memset(&context, 0, sizeof context);
    const uint8_t choice = driver_script().byte();
    constexpr uint64_t routes[3] = {skelder::route_scsi, skelder::route_ata, skelder::route_csmi};
    context.route_flags = routes[choice % 3];
    context.verbosity = (choice >> 2) % 3;
    context.cdb_flags = skelder::cdb_flag_16_byte | ((choice & 0x10) != 0 ? 0x20u : 0u);
    if (l_flag != nullptr) {
        *l_flag = ((choice >> 5) & 1) != 0;
    }
    context.handle = CreateFileW(L"\\\\.\\PhysicalDrive0", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    return context;
}

} // namespace fuzz
