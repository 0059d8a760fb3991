#pragma once
// What the run learns about the target drive: texts, security state, download capabilities.

#include <cstdint>
#include <string>
#include <vector>

namespace skelder {

struct drive_identity {
    std::string vendor;
    std::string model;
    std::string serial_number;
    std::string firmware_revision;
    uint16_t security_word = 0;
    int32_t security_state = 0;
    bool dma_download = false;
    bool segmented_download = false;
    bool deferred_offsets = false;
    bool clears_deferred_data = false;
    uint16_t minimum_blocks = 0;
    uint16_t maximum_blocks = 0;
    std::vector<std::string> standards;
};

} // namespace skelder
