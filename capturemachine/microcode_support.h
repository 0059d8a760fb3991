// Which DOWNLOAD MICROCODE subcommands a drive accepts, as far as it says so itself: the
// IDENTIFY words and the IDENTIFY DEVICE data log's supported capabilities page.
#pragma once

#include "machine_record.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace capture {

struct microcode_support {
    std::vector<std::uint8_t> subcommands; // ascending
    std::uint16_t min_blocks = 0;          // 0: not reported
    std::uint16_t max_blocks = 0;
};

microcode_support derive_microcode_support(const identify_words& words,
                                           const std::optional<log_page>& capabilities);

} // namespace capture
