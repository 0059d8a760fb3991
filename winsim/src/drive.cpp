// The drive model: a command table over one state, as the ATA command set describes
// IDENTIFY DEVICE, READ LOG EXT, SET FEATURES and DOWNLOAD MICROCODE.
#include <winsim/drive.h>

#include <winsim/sha256.h>

#include <algorithm>
#include <cstring>

namespace winsim {
namespace {

constexpr std::uint32_t block_size = 512;

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Words of a plausible 1 TB drive; a description overrides any of them.
void fill_default_identify(std::array<std::uint16_t, 256>& w) {
    constexpr std::uint64_t sectors = 1'953'525'168;
    w[0] = 0x0040;
    w[1] = 16383;
    w[3] = 16;
    w[6] = 63;
    w[47] = 0x8010;
    w[49] = 0x2F00;
    w[50] = 0x4000;
    w[53] = 0x0007;
    w[60] = 0xFFFF;
    w[61] = 0x0FFF;
    w[63] = 0x0007;
    w[64] = 0x0003;
    w[80] = 0x01F0;
    w[82] = 0x746B;
    w[83] = 0x7D01; // 48-bit addressing, DOWNLOAD MICROCODE
    w[84] = 0x6163;
    w[85] = 0x7469;
    w[86] = 0xBC01;
    w[87] = 0x6163;
    w[88] = 0x207F;
    for (int i = 0; i < 4; ++i) {
        w[100 + i] = static_cast<std::uint16_t>(sectors >> (16 * i));
    }
    w[106] = 0x6003;
    w[119] = 0x4000;
    w[120] = 0x4000;
    w[217] = 7200;
}

std::uint8_t byte_of(const nlohmann::json& value) {
    return static_cast<std::uint8_t>(to_number(value));
}

// IDENTIFY words 234 and 235: 0 and FFFFh mean "not reported", which limits nothing.
std::uint16_t reported_block_limit(std::uint16_t word) {
    return word == 0xFFFF ? 0 : word;
}

} // namespace

std::string to_string(data_direction direction) {
    switch (direction) {
    case data_direction::in:
        return "in";
    case data_direction::out:
        return "out";
    case data_direction::none:
        break;
    }
    return "none";
}

std::string ata_text(const std::array<std::uint16_t, 256>& words, int first_word, int word_count) {
    std::string text;
    for (int i = 0; i < word_count; ++i) {
        const auto word = words[static_cast<std::size_t>(first_word) + static_cast<std::size_t>(i)];
        text += static_cast<char>(word >> 8);
        text += static_cast<char>(word & 0xFF);
    }
    return text;
}

drive::drive(const nlohmann::json& description, drive_services services)
    : id_(field<std::string>(description, "id", "drive")), services_(services) {
    fill_default_identify(identify_);
    const auto& identify = description.value("identify", nlohmann::json::object());
    set_text(ATA_ID_SERIAL_NUMBER, ATA_ID_SERIAL_NUMBER_WORDS,
             field<std::string>(identify, "serial", ""));
    set_text(ATA_ID_FIRMWARE_REVISION, ATA_ID_FIRMWARE_REVISION_WORDS,
             field<std::string>(identify, "firmware", ""));
    set_text(ATA_ID_MODEL_NUMBER, ATA_ID_MODEL_NUMBER_WORDS,
             field<std::string>(identify, "model", ""));
    if (identify.contains("words")) {
        for (const auto& [index, value] : identify.at("words").items()) {
            const auto word = std::stoul(index, nullptr, 0);
            if (word >= identify_.size()) {
                throw description_error("IDENTIFY word out of range: " + index);
            }
            identify_[word] = static_cast<std::uint16_t>(to_number(value));
        }
    }
    identify_checksum_ = field<bool>(identify, "checksum", true);
    update_checksum();

    for (const auto& log : description.value("logs", nlohmann::json::array())) {
        std::array<std::uint8_t, 512> page{};
        const auto qwords = log.value("qwords", nlohmann::json::object());
        for (const auto& [index, value] : qwords.items()) {
            const auto qword = std::stoul(index, nullptr, 0);
            if (qword >= 64) {
                throw description_error("log qword out of range: " + index);
            }
            const auto bits = to_number(value);
            for (std::size_t b = 0; b < 8; ++b) {
                page[qword * 8 + b] = static_cast<std::uint8_t>(bits >> (8 * b));
            }
        }
        log_pages_[{field<std::uint8_t>(log, "address", 0), field<std::uint16_t>(log, "page", 0)}] =
            page;
    }

    const auto& microcode = description.value("microcode", nlohmann::json::object());
    for (const auto& sub : microcode.value("subcommands", nlohmann::json::array())) {
        rules_.subcommands.insert(byte_of(sub));
    }
    rules_.min_blocks = field<std::uint16_t>(microcode, "min_blocks",
                                             reported_block_limit(identify_[ATA_ID_DM_MIN_BLOCKS]));
    rules_.max_blocks = field<std::uint16_t>(microcode, "max_blocks",
                                             reported_block_limit(identify_[ATA_ID_DM_MAX_BLOCKS]));
    rules_.expected_length = field<std::uint64_t>(microcode, "expected_length", 0);
    rules_.firmware_after_activation =
        field<std::string>(microcode, "firmware_after_activation", "");

    command_time_ms_ = field<std::uint64_t>(description, "command_time_ms", 1);
    activation_time_ms_ = field<std::uint64_t>(description, "activation_time_ms", 8000);
    const auto rules = description.value("faults", nlohmann::json::array());
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const auto& rule = rules[i];
        command_fault fault;
        fault.command = optional_field<std::uint8_t>(rule, "command");
        fault.features = optional_field<std::uint8_t>(rule, "features");
        fault.route = optional_field<std::string>(rule, "route");
        fault.when = occurrence::from(rule);
        fault.status = field<std::uint8_t>(rule, "status", ata_status::failed);
        fault.error =
            field<std::uint8_t>(rule, "error", rule.contains("status") ? 0 : ata_error::abort);
        const bool fails =
            (fault.status & (ata_status::error | ata_status::device_fault | ata_status::busy)) !=
                0 ||
            fault.error != 0;
        // A rule never executes its command, so one that fails nothing answers without data.
        moves_no_data(rule, "drive \"" + id_ + "\" faults[" + std::to_string(i) + "]", !fails,
                      "a status without ERR, DF or BSY and an error of 0");
        faults_.push_back(fault);
    }

    const auto& scsi = description.value("scsi", nlohmann::json::object());
    scsi_vendor_ = field<std::string>(scsi, "vendor", "ATA");
    scsi_product_ = optional_field<std::string>(scsi, "product");
    scsi_revision_ = optional_field<std::string>(scsi, "revision");
    scsi_serial_ = optional_field<std::string>(scsi, "serial");
    serial_page_length_ = optional_field<std::uint16_t>(scsi, "serial_page_length");
}

const std::map<std::uint8_t, drive::command_entry>& drive::command_table() {
    static const std::map<std::uint8_t, command_entry> table = {
        {ATA_IDENTIFY_DEVICE, {&drive::identify_device, true}},
        {ATA_READ_LOG_EXT, {&drive::read_log_ext, true}},
        {ATA_SET_FEATURES, {&drive::set_features, true}},
        {ATA_DOWNLOAD_MICROCODE, {&drive::download_microcode, false}},
        {ATA_DOWNLOAD_MICROCODE_DMA, {&drive::download_microcode, false}},
    };
    return table;
}

ata_reply drive::execute(const ata_command& command, const nlohmann::json& transport_details) {
    const auto& r = command.registers;
    outcome result{ata_status::failed, ata_error::abort, 0};
    bool injected = false;
    for (auto& fault : faults_) {
        const bool matches = (!fault.command || *fault.command == r.command) &&
                             (!fault.features || *fault.features == r.features) &&
                             (!fault.route || *fault.route == command.route);
        if (matches && fault.when.count() && !injected) {
            result = {fault.status, fault.error, 0};
            injected = true;
        }
    }
    if (!injected) {
        const auto& table = command_table();
        const auto entry = table.find(r.command);
        if (entry != table.end() && (entry->second.allowed_when_locked || !security_locked())) {
            result = (this->*(entry->second.run))(command);
        }
    }
    // The port driver gives up when the limit runs out, before the command completes.
    const auto time_ms = result.activates ? activation_time_ms_ : command_time_ms_;
    const auto& limit = command.time_limit_ms;
    const bool interrupted = limit && (*limit == 0 || *limit < time_ms);
    if (interrupted) {
        reset_by_port();
        result = {ata_status::busy, 0, 0, false};
        services_.clock.advance(*limit);
    } else {
        if (result.activates) {
            activate();
        }
        services_.clock.advance(time_ms);
    }

    nlohmann::json record = {
        {"call", "ata"},
        {"drive", id_},
        {"route", command.route},
        {"command", r.command},
        {"features", r.features},
        {"count", r.count},
        {"lba_low", r.lba_low},
        {"lba_mid", r.lba_mid},
        {"lba_high", r.lba_high},
        {"device", r.device},
        {"ext", {r.features_ext, r.count_ext, r.lba_low_ext, r.lba_mid_ext, r.lba_high_ext}},
        {"dir", to_string(command.direction)},
        {"length", command.data.size()},
        {"sha256", command.direction == data_direction::out
                       ? nlohmann::json(sha256_hex(command.data))
                       : nlohmann::json(nullptr)},
        {"status", result.status},
        {"error", result.error},
        {"transferred", result.transferred},
    };
    if (injected) {
        record["fault"] = true;
    }
    if (interrupted) {
        record["interrupted"] = true;
        record["time_limit_ms"] = *limit;
    }
    record.update(transport_details);
    services_.trace.write(record);

    ata_reply reply;
    reply.status = result.status;
    reply.error = result.error;
    reply.registers = r;
    reply.transferred = result.transferred;
    reply.interrupted = interrupted;
    return reply;
}

drive::outcome drive::identify_device(const ata_command& command) {
    // Any features value: the signature IDENTIFY sends some and still gets the data.
    if (command.direction != data_direction::in || command.data.size() != block_size) {
        return {ata_status::failed, ata_error::abort, 0};
    }
    for (std::size_t i = 0; i < identify_.size(); ++i) {
        command.data[2 * i] = static_cast<std::uint8_t>(identify_[i] & 0xFF);
        command.data[2 * i + 1] = static_cast<std::uint8_t>(identify_[i] >> 8);
    }
    return {ata_status::good, 0, block_size};
}

drive::outcome drive::read_log_ext(const ata_command& command) {
    const auto& r = command.registers;
    const std::uint32_t pages = static_cast<std::uint32_t>(r.count | r.count_ext << 8);
    // The page number is LBA 15:8 and, above them, LBA 39:32.
    const auto first_page = static_cast<std::uint16_t>(r.lba_mid | r.lba_mid_ext << 8);
    if (pages == 0 || command.direction != data_direction::in ||
        command.data.size() != pages * block_size) {
        return {ata_status::failed, ata_error::abort, 0};
    }
    for (std::uint32_t i = 0; i < pages; ++i) {
        const auto page = log_pages_.find({r.lba_low, static_cast<std::uint16_t>(first_page + i)});
        if (page == log_pages_.end()) {
            return {ata_status::failed, ata_error::abort, 0};
        }
        std::memcpy(command.data.data() + i * block_size, page->second.data(), block_size);
    }
    return {ata_status::good, 0, pages * block_size};
}

drive::outcome drive::set_features(const ata_command& command) {
    if (command.direction != data_direction::none && !command.data.empty()) {
        return {ata_status::failed, ata_error::abort, 0};
    }
    return {ata_status::good, 0, 0};
}

drive::outcome drive::download_microcode(const ata_command& command) {
    const auto& r = command.registers;
    const std::uint8_t sub = r.features;
    const auto refuse = outcome{ata_status::failed, ata_error::abort, 0};
    if (!rules_.subcommands.contains(sub)) {
        return refuse;
    }
    const std::uint32_t blocks = static_cast<std::uint32_t>(r.count | r.lba_low << 8);
    const std::uint32_t offset = static_cast<std::uint32_t>(r.lba_mid | r.lba_high << 8);
    const bool has_data = command.direction != data_direction::none && !command.data.empty();

    if (sub == ATA_DM_ACTIVATE) {
        if (has_data || !deferred_pending_ ||
            (rules_.expected_length != 0 && microcode_.size() != rules_.expected_length)) {
            return refuse;
        }
        return {ata_status::good, 0, 0, true};
    }
    if (sub != ATA_DM_WHOLE_IMAGE && sub != ATA_DM_OFFSETS_IMMEDIATE &&
        sub != ATA_DM_OFFSETS_DEFERRED) {
        return refuse;
    }
    // Every other subcommand carries exactly the blocks its count announces.
    if (command.direction != data_direction::out || blocks == 0 ||
        command.data.size() != blocks * block_size) {
        return refuse;
    }
    const auto length = static_cast<std::uint32_t>(command.data.size());
    if (sub == ATA_DM_WHOLE_IMAGE) {
        if (rules_.expected_length != 0 && length != rules_.expected_length) {
            return refuse;
        }
        microcode_.assign(command.data.begin(), command.data.end());
        next_offset_blocks_ = blocks;
        download_mode_ = sub;
        deferred_pending_ = false;
        return {ata_status::good, 0, length, true};
    }
    if ((rules_.min_blocks != 0 && blocks < rules_.min_blocks) ||
        (rules_.max_blocks != 0 && blocks > rules_.max_blocks)) {
        return refuse;
    }
    if (offset == 0) {
        // A segment at offset 0 always starts a new download, so retries work.
        microcode_.clear();
        next_offset_blocks_ = 0;
        download_mode_ = sub;
        deferred_pending_ = false;
    } else if (offset != next_offset_blocks_ || sub != download_mode_) {
        return refuse;
    }
    if (rules_.expected_length != 0 && microcode_.size() + length > rules_.expected_length) {
        return refuse;
    }
    microcode_.insert(microcode_.end(), command.data.begin(), command.data.end());
    next_offset_blocks_ += blocks;
    if (sub == ATA_DM_OFFSETS_DEFERRED) {
        deferred_pending_ = true;
        return {ata_status::good, 0, length};
    }
    const bool completes =
        rules_.expected_length != 0 && microcode_.size() == rules_.expected_length;
    return {ata_status::good, 0, length, completes};
}

void drive::activate() {
    ++activations_;
    deferred_pending_ = false;
    if (!rules_.firmware_after_activation.empty()) {
        set_text(ATA_ID_FIRMWARE_REVISION, ATA_ID_FIRMWARE_REVISION_WORDS,
                 rules_.firmware_after_activation);
        update_checksum();
    }
}

void drive::reset_by_port() {
    // A hardware reset ends a download in progress; this drive keeps nothing it has not
    // activated (saved deferred segments included), so the old firmware runs and a new
    // download starts again at offset 0.
    ++interruptions_;
    microcode_.clear();
    next_offset_blocks_ = 0;
    download_mode_ = 0;
    deferred_pending_ = false;
}

void drive::set_text(int first_word, int word_count, const std::string& text) {
    std::string padded = text.substr(0, static_cast<std::size_t>(word_count) * 2);
    padded.resize(static_cast<std::size_t>(word_count) * 2, ' ');
    for (int i = 0; i < word_count; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const auto high = static_cast<unsigned char>(padded[2 * at]);
        const auto low = static_cast<unsigned char>(padded[2 * at + 1]);
        identify_[static_cast<std::size_t>(first_word) + at] =
            static_cast<std::uint16_t>(high << 8 | low);
    }
}

void drive::update_checksum() {
    if (!identify_checksum_) {
        return;
    }
    // Word 255: signature 0xA5 in the low byte, and a high byte that makes all 512 bytes sum to 0.
    std::uint8_t sum = ATA_ID_INTEGRITY_SIGNATURE;
    for (std::size_t i = 0; i < ATA_ID_INTEGRITY; ++i) {
        sum = static_cast<std::uint8_t>(sum + (identify_[i] & 0xFF) + (identify_[i] >> 8));
    }
    identify_[ATA_ID_INTEGRITY] = static_cast<std::uint16_t>(static_cast<std::uint8_t>(-sum) << 8 |
                                                             ATA_ID_INTEGRITY_SIGNATURE);
}

std::string drive::firmware() const {
    return trimmed(ata_text(identify_, ATA_ID_FIRMWARE_REVISION, ATA_ID_FIRMWARE_REVISION_WORDS));
}

std::string drive::scsi_product() const {
    if (scsi_product_) {
        return *scsi_product_;
    }
    return ata_text(identify_, ATA_ID_MODEL_NUMBER, 8);
}

std::string drive::scsi_revision() const {
    if (scsi_revision_) {
        return *scsi_revision_;
    }
    // SAT reports the last four characters of an eight-character revision.
    auto revision =
        trimmed(ata_text(identify_, ATA_ID_FIRMWARE_REVISION, ATA_ID_FIRMWARE_REVISION_WORDS));
    if (revision.size() > 4) {
        revision = revision.substr(revision.size() - 4);
    }
    revision.resize(4, ' ');
    return revision;
}

std::string drive::scsi_serial() const {
    return scsi_serial_ ? *scsi_serial_ : ata_text(identify_, 10, 10);
}

nlohmann::json drive::exit_state() const {
    return {{"id", id_},
            {"received", microcode_.size()},
            {"sha256", sha256_hex(microcode_)},
            {"activated", activations_},
            {"interrupted", interruptions_},
            {"firmware", firmware()}};
}

} // namespace winsim
