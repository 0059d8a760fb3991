#include "microcode_support.h"

#include "identify_data.h"

namespace capture {
namespace {

// Words 83 and 119 hold a capability only when bits 15:14 are 01b.
bool word_valid(std::uint16_t word) {
    return (word & 0xC000) == 0x4000;
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
    bool whole = (word_valid(words[83]) && bit(words[83], 0)) || bit(words[86], 0);
    bool offsets = word_valid(words[119]) && bit(words[119], 4);
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
        support.subcommands.push_back(0x03);
    }
    if (whole) {
        support.subcommands.push_back(0x07);
    }
    if (deferred) {
        support.subcommands.push_back(0x0E);
        support.subcommands.push_back(0x0F);
    }
    support.min_blocks = reported_blocks(words[234]);
    support.max_blocks = reported_blocks(words[235]);
    return support;
}

} // namespace capture
