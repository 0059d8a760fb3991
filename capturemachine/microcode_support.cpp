#include "microcode_support.h"

#include "identify_data.h"

#include <ata.h>

namespace capture {
namespace {

// Words 83 and 119 hold a capability only when bits 15:14 are 01b.
bool word_valid(std::uint16_t word) {
    return (word & ATA_ID_VALID_MASK) == ATA_ID_VALID;
}

bool bit(std::uint64_t value, int number) {
    return (value >> number & 1) != 0;
}

// Words 234 and 235: 0 and FFFFh mean "not reported".
std::uint16_t reported_blocks(std::uint16_t word) {
    return word == 0xFFFF ? 0 : word;
}

} // namespace

microcode_support derive_microcode_support(const identify_words& words,
                                           const std::optional<log_page>& capabilities) {
    // ACS: word 83 bit 0 (and its copy, word 86 bit 0) DOWNLOAD MICROCODE supported, which
    // is subcommand 07h; word 119 bit 4 the offsets mode 03h.
    const auto supported = words[ATA_ID_COMMAND_SET_SUPPORTED];
    const auto supported_ext = words[ATA_ID_COMMAND_SET_SUPPORTED_EXT];
    bool whole =
        (word_valid(supported) && bit(supported, 0)) || bit(words[ATA_ID_COMMAND_SET_ENABLED], 0);
    bool offsets = word_valid(supported_ext) && bit(supported_ext, 4);
    bool deferred = false;
    // The log page's DOWNLOAD MICROCODE capabilities qword (ACS-3 on): bit 32 offsets
    // immediate, 33 immediate, 34 offsets deferred; bit 63 of it and of the page header mark
    // them valid. Deferred segments (0Eh) are reported only here, and 0Fh activates them.
    if (capabilities && bit(log_qword(*capabilities, 0), 63)) {
        const auto download = log_qword(*capabilities, 2);
        if (bit(download, 63)) {
            offsets = offsets || bit(download, 32);
            whole = whole || bit(download, 33);
            deferred = bit(download, 34);
        }
    }
    microcode_support support;
    if (offsets) {
        support.subcommands.push_back(ATA_DM_OFFSETS_IMMEDIATE);
    }
    if (whole) {
        support.subcommands.push_back(ATA_DM_WHOLE_IMAGE);
    }
    if (deferred) {
        support.subcommands.push_back(ATA_DM_OFFSETS_DEFERRED);
        support.subcommands.push_back(ATA_DM_ACTIVATE);
    }
    support.min_blocks = reported_blocks(words[ATA_ID_DM_MIN_BLOCKS]);
    support.max_blocks = reported_blocks(words[ATA_ID_DM_MAX_BLOCKS]);
    return support;
}

} // namespace capture
