#include "identify_data.h"

#include <ata.h>

namespace capture {

identify_words words_of(const std::uint8_t (&data)[512]) {
    identify_words words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = static_cast<std::uint16_t>(data[2 * i] | data[2 * i + 1] << 8);
    }
    return words;
}

bool any_data(const std::uint8_t* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (data[i] != 0) {
            return true;
        }
    }
    return false;
}

std::string ata_text(const identify_words& words, int first_word, int word_count) {
    std::string text;
    for (int i = 0; i < word_count; ++i) {
        const auto word = words[static_cast<std::size_t>(first_word + i)];
        text += static_cast<char>(word >> 8);
        text += static_cast<char>(word & 0xFF);
    }
    return text;
}

void set_ata_text(identify_words& words, int first_word, int word_count, const std::string& text) {
    for (int i = 0; i < word_count; ++i) {
        const auto at = static_cast<std::size_t>(2 * i);
        const auto high = static_cast<unsigned char>(at < text.size() ? text[at] : ' ');
        const auto low = static_cast<unsigned char>(at + 1 < text.size() ? text[at + 1] : ' ');
        words[static_cast<std::size_t>(first_word + i)] =
            static_cast<std::uint16_t>(high << 8 | low);
    }
}

std::uint16_t checksum_word(const identify_words& words) {
    std::uint8_t sum = ATA_ID_INTEGRITY_SIGNATURE;
    for (std::size_t i = 0; i < ATA_ID_INTEGRITY; ++i) {
        sum = static_cast<std::uint8_t>(sum + (words[i] & 0xFF) + (words[i] >> 8));
    }
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(-sum) << 8 |
                                      ATA_ID_INTEGRITY_SIGNATURE);
}

bool checksum_valid(const identify_words& words) {
    return words[ATA_ID_INTEGRITY] == checksum_word(words);
}

std::uint64_t log_qword(const log_page& page, int index) {
    std::uint64_t value = 0;
    for (int b = 7; b >= 0; --b) {
        value = value << 8 | page[static_cast<std::size_t>(index * 8 + b)];
    }
    return value;
}

} // namespace capture
