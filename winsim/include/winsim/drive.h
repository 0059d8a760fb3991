// A simulated ATA drive. It knows only the twelve registers and a data buffer; the
// transports (SAT, ATA pass-through, SMART, CSMI STP) are thin layers in front of it.
#pragma once

#include <winsim/ata.h>
#include <winsim/device_clock.h>
#include <winsim/json_fields.h>
#include <winsim/trace.h>

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace winsim {

// Services of the machine a drive reports to.
struct drive_services {
    winsim::trace& trace;
    device_clock& clock;
};

// The n-th command of a kind answered with given status and error, without being
// executed, so no data moves either way (status 0x80 makes a BSY reply).
struct command_fault {
    std::optional<std::uint8_t> command;
    std::optional<std::uint8_t> features;
    std::optional<std::string> route;
    occurrence when;
    std::uint8_t status = 0;
    std::uint8_t error = 0;
};

struct microcode_rules {
    std::set<std::uint8_t> subcommands; // DOWNLOAD MICROCODE features the drive accepts
    std::uint16_t min_blocks = 0;       // per command with offsets; 0 = no limit
    std::uint16_t max_blocks = 0;
    std::uint64_t expected_length = 0;     // image length that completes a download; 0 = unknown
    std::string firmware_after_activation; // new revision text; empty keeps the old one
};

class drive {
public:
    drive(const nlohmann::json& description, drive_services services);

    // Executes one command and writes its "ata" trace record, with the transport's own
    // keys (a CSMI request's phy, port and destination) added.
    ata_reply execute(const ata_command& command,
                      const nlohmann::json& transport_details = nlohmann::json::object());

    const std::string& id() const { return id_; }
    const std::array<std::uint16_t, 256>& identify_words() const { return identify_; }
    std::string firmware() const;
    const std::vector<std::uint8_t>& microcode() const { return microcode_; }
    std::uint32_t activations() const { return activations_; }
    // Commands cut short by a port reset when their time limit ran out.
    std::uint32_t interruptions() const { return interruptions_; }
    // The SCSI identity a SAT layer reports for this drive.
    const std::string& scsi_vendor() const { return scsi_vendor_; }
    std::string scsi_product() const;
    std::string scsi_revision() const;
    std::string scsi_serial() const;
    // A page length the unit serial number page claims in place of the serial's own.
    std::optional<std::uint16_t> serial_page_length() const { return serial_page_length_; }

    // The drive's part of the exit record.
    nlohmann::json exit_state() const;

private:
    struct outcome {
        std::uint8_t status = 0;
        std::uint8_t error = 0;
        std::uint32_t transferred = 0;
        // The command activates the downloaded microcode once it completes: it takes the
        // activation time, and a reset before then leaves the old firmware running.
        bool activates = false;
    };
    using handler = outcome (drive::*)(const ata_command&);
    struct command_entry {
        handler run = nullptr;
        bool allowed_when_locked = true; // ATA security: a locked drive aborts the others
    };

    static const std::map<std::uint8_t, command_entry>& command_table();

    outcome identify_device(const ata_command& command);
    outcome read_log_ext(const ata_command& command);
    outcome set_features(const ata_command& command);
    outcome download_microcode(const ata_command& command);

    void activate();
    // A port reset in the middle of a command: the drive drops what it has not activated.
    void reset_by_port();
    bool security_locked() const {
        return (identify_[ATA_ID_SECURITY_STATUS] & ATA_ID_SECURITY_LOCKED) != 0;
    }
    void set_text(int first_word, int word_count, const std::string& text);
    void update_checksum();

    std::string id_;
    std::array<std::uint16_t, 256> identify_{};
    bool identify_checksum_ = true;
    std::map<std::pair<std::uint8_t, std::uint16_t>, std::array<std::uint8_t, 512>> log_pages_;
    microcode_rules rules_;
    std::uint64_t command_time_ms_ = 1;
    std::uint64_t activation_time_ms_ = 8000;
    std::vector<command_fault> faults_;
    std::string scsi_vendor_;
    std::optional<std::string> scsi_product_;
    std::optional<std::string> scsi_revision_;
    std::optional<std::string> scsi_serial_;
    std::optional<std::uint16_t> serial_page_length_;

    // Download state: the image assembled so far and where the next segment goes.
    std::vector<std::uint8_t> microcode_;
    std::uint32_t next_offset_blocks_ = 0;
    std::uint8_t download_mode_ = 0;
    bool deferred_pending_ = false;
    std::uint32_t activations_ = 0;
    std::uint32_t interruptions_ = 0;

    drive_services services_;
};

// ATA strings: two characters a word, the first in the high byte, padded with blanks.
std::string ata_text(const std::array<std::uint16_t, 256>& words, int first_word, int word_count);

} // namespace winsim
