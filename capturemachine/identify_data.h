// Reading IDENTIFY DEVICE data and log pages as ATA lays them out.
#pragma once

#include "machine_record.h"

#include <cstdint>
#include <string>

namespace capture {

identify_words words_of(const std::uint8_t (&data)[512]);
// Whether a data-in buffer holds anything: a driver may report success without a data phase.
bool any_data(const std::uint8_t* data, std::size_t length);

// An ATA string: two characters a word, the first in the high byte.
std::string ata_text(const identify_words& words, int first_word, int word_count);
void set_ata_text(identify_words& words, int first_word, int word_count, const std::string& text);

// Word 255: signature A5h in the low byte and a high byte that makes all 512 bytes sum to 0.
bool checksum_valid(const identify_words& words);
std::uint16_t checksum_word(const identify_words& words);

std::uint64_t log_qword(const log_page& page, int index);

} // namespace capture
