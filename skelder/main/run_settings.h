#pragma once
// What the command line asked for, beyond the device record's own fields.

#include "download/download_request.h"
#include "main/run_options.h"

#include <cstdint>

namespace skelder {

struct run_settings {
    WCHAR device_path[max_path_chars]; // device (SCSI, ATA routes) or controller (CSMI route)
    uint8_t sas_address[8];            // CSMI target, first byte first as written
    int32_t phy_index;                 // CSMI phy; -1: find the phy by sas_address
    int32_t retry_count;               // extra download attempts after a failed one
    download_request request;
    run_options options;
};

} // namespace skelder
