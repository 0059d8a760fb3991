#include "anonymise.h"

#include "identify_data.h"

#include <ata.h>

#include <cstdio>
#include <cwctype>
#include <map>
#include <string>

namespace capture {
namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::wstring lower(std::wstring text) {
    for (auto& ch : text) {
        ch = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(ch)));
    }
    return text;
}

class placeholders {
public:
    // The placeholder's number for a serial, from 1 in the order serials are met.
    unsigned number_of(const std::string& serial) {
        const auto key = trimmed(serial);
        const auto found = numbers_.find(key);
        if (found != numbers_.end()) {
            return found->second;
        }
        const auto number = static_cast<unsigned>(numbers_.size() + 1);
        numbers_.emplace(key, number);
        return number;
    }
    static std::string text_of(unsigned number) {
        char text[16] = {};
        std::snprintf(text, sizeof text, "ANON%04u", number);
        return text;
    }
    // The placeholder in place of a serial text, blank-padded to the serial's own length.
    std::string replace(const std::string& serial) {
        if (trimmed(serial).empty()) {
            return serial;
        }
        auto text = text_of(number_of(serial));
        if (text.size() < serial.size()) {
            text.resize(serial.size(), ' ');
        }
        return text;
    }
    // Every serial met, in a wide text (a setup string or a device path), letter case ignored;
    // serials shorter than four characters are left, as they would match too much.
    void replace_within(std::wstring& text) const {
        for (const auto& [serial, number] : numbers_) {
            if (serial.size() < 4) {
                continue;
            }
            const std::wstring wide(serial.begin(), serial.end());
            const auto placeholder = text_of(number);
            const std::wstring replacement(placeholder.begin(), placeholder.end());
            for (auto at = lower(text).find(lower(wide)); at != std::wstring::npos;
                 at = lower(text).find(lower(wide), at + replacement.size())) {
                text.replace(at, wide.size(), replacement);
            }
        }
    }

private:
    std::map<std::string, unsigned> numbers_;
};

// Words 108-111: NAA (4 bits) and the maker's OUI (24 bits) stay; the 36-bit unit part becomes
// the placeholder's number.
void replace_wwn(identify_words& words, unsigned number) {
    if (words[108] == 0 && words[109] == 0 && words[110] == 0 && words[111] == 0) {
        return;
    }
    words[109] = static_cast<std::uint16_t>(words[109] & 0xFFF0);
    words[110] = 0;
    words[111] = static_cast<std::uint16_t>(number);
}

void anonymise_drive(drive_record& drive, placeholders& names) {
    auto& words = drive.identify;
    const bool checksum = checksum_valid(words);
    const auto serial = ata_text(words, ATA_ID_SERIAL_NUMBER, ATA_ID_SERIAL_NUMBER_WORDS);
    const auto number = names.number_of(serial);
    set_ata_text(words, ATA_ID_SERIAL_NUMBER, ATA_ID_SERIAL_NUMBER_WORDS, names.replace(serial));
    replace_wwn(words, number);
    if (checksum) {
        words[ATA_ID_INTEGRITY] = checksum_word(words);
    }
    if (drive.scsi_serial) {
        drive.scsi_serial = names.replace(*drive.scsi_serial);
    }
}

} // namespace

void anonymise(machine_record& machine) {
    placeholders names;
    for (auto& drive : machine.drives) {
        anonymise_drive(drive, names);
    }
    for (auto& controller : machine.controllers) {
        if (controller.config) {
            controller.config->serial = names.replace(controller.config->serial);
        }
    }
    for (auto& device : machine.setup_devices) {
        names.replace_within(device.description);
        names.replace_within(device.hardware_id);
    }
    for (auto& disk : machine.disks) {
        names.replace_within(disk.interface_path);
    }
    for (auto& device : machine.refusing) {
        names.replace_within(device.name);
    }
}

} // namespace capture
