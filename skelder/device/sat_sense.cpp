#include "device/sat_sense.h"

#include <ata.h>

namespace skelder {

namespace {

constexpr UCHAR ata_status_return_descriptor = SAT_ATA_RETURN_DESCRIPTOR;
constexpr UCHAR ata_information_available = 0x1D;

// Descriptor format: descriptors from byte 8, as long as the additional length says.
void read_descriptors(const UCHAR* sense, size_t length, sat_sense& facts) {
    const size_t end = length < size_t{8} + sense[7] ? length : size_t{8} + sense[7];
    for (size_t at = 8; at + 2 <= end;) {
        const UCHAR code = sense[at];
        const size_t size = size_t{2} + sense[at + 1];
        if (code == ata_status_return_descriptor && size >= 14 && at + 14 <= end) {
            facts.has_ata_status = true;
            facts.ata_status = sense[at + 13];
            return;
        }
        at += size;
    }
}

} // namespace

sat_sense read_sat_sense(const UCHAR* sense, size_t length) {
    sat_sense facts;
    if (length < 8) {
        return facts;
    }
    const UCHAR response = sense[0] & 0x7F;
    if (response == 0x72 || response == 0x73) {
        facts.key = sense[1] & 0x0F;
        facts.asc = sense[2];
        facts.ascq = sense[3];
        read_descriptors(sense, length, facts);
    } else if ((response == 0x70 || response == 0x71) && length >= 14) {
        facts.key = sense[2] & 0x0F;
        facts.asc = sense[12];
        facts.ascq = sense[13];
        // Fixed format carries the ATA status in the INFORMATION field (error, status, device,
        // count) when the SAT layer says so with 00h/1Dh.
        if (facts.asc == 0x00 && facts.ascq == ata_information_available) {
            facts.has_ata_status = true;
            facts.ata_status = sense[4];
        }
    }
    return facts;
}

} // namespace skelder
