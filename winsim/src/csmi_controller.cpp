// The CSMI controller's driver: the controller described, request dispatch with the
// checks a driver makes on the request header, and the information requests.
#include <winsim/csmi_controller.h>

#include <windows.h>
#include <csmi.h>

#include <algorithm>
#include <cstring>

namespace winsim {
namespace {

std::uint8_t protocol_of(const nlohmann::json& value) {
    if (value.is_string()) {
        const auto name = value.get<std::string>();
        if (name == "sata") {
            return CSMI_SAS_PROTOCOL_SATA;
        }
        if (name == "smp") {
            return CSMI_SAS_PROTOCOL_SMP;
        }
        if (name == "stp") {
            return CSMI_SAS_PROTOCOL_STP;
        }
        if (name == "ssp") {
            return CSMI_SAS_PROTOCOL_SSP;
        }
        if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0]))) {
            throw description_error("unknown protocol: " + name);
        }
    }
    return static_cast<std::uint8_t>(to_number(value));
}

template <std::size_t n> void copy_text(UCHAR (&field)[n], const std::string& text) {
    std::memset(field, 0, n);
    std::memcpy(field, text.data(), std::min(text.size(), n - 1));
}

template <std::size_t n>
std::array<std::uint16_t, n> numbers(const nlohmann::json& object, const char* key) {
    std::array<std::uint16_t, n> result{};
    const auto list = object.value(key, nlohmann::json::array());
    for (std::size_t i = 0; i < n && i < list.size(); ++i) {
        result[i] = static_cast<std::uint16_t>(to_number(list[i]));
    }
    return result;
}

// Which signature each control code travels with, and the request kind faults name.
struct request_kind {
    std::uint32_t code;
    const char* signature;
    const char* name;
};
constexpr request_kind request_kinds[] = {
    {CC_CSMI_SAS_GET_DRIVER_INFO, CSMI_ALL_SIGNATURE, "driver_info"},
    {CC_CSMI_SAS_GET_CNTLR_CONFIG, CSMI_ALL_SIGNATURE, "config"},
    {CC_CSMI_SAS_GET_RAID_INFO, CSMI_RAID_SIGNATURE, "raid_info"},
    {CC_CSMI_SAS_GET_RAID_CONFIG, CSMI_RAID_SIGNATURE, "raid_config"},
    {CC_CSMI_SAS_GET_PHY_INFO, CSMI_SAS_SIGNATURE, "phy_info"},
    {CC_CSMI_SAS_SSP_PASSTHRU, CSMI_SAS_SIGNATURE, "ssp"},
    {CC_CSMI_SAS_STP_PASSTHRU, CSMI_SAS_SIGNATURE, "stp"},
};

bool known_signature(const UCHAR (&signature)[8]) {
    for (const char* known :
         {CSMI_ALL_SIGNATURE, CSMI_RAID_SIGNATURE, CSMI_SAS_SIGNATURE, CSMI_PHY_SIGNATURE}) {
        if (std::memcmp(signature, known, 8) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

sas_address parse_sas_address(const std::string& text) {
    if (text.size() != 16 || !std::all_of(text.begin(), text.end(), [](char ch) {
            return std::isxdigit(static_cast<unsigned char>(ch)) != 0;
        })) {
        throw description_error("a SAS address has 16 hexadecimal digits: \"" + text + "\"");
    }
    sas_address address{};
    for (std::size_t i = 0; i < 8; ++i) {
        address[i] = static_cast<std::uint8_t>(std::stoul(text.substr(2 * i, 2), nullptr, 16));
    }
    return address;
}

csmi_controller::csmi_controller(const nlohmann::json& description, const drive_lookup& find_drive)
    : device(description) {
    const auto driver = description.value("driver", nlohmann::json::object());
    driver_name_ = field<std::string>(driver, "name", "");
    driver_description_ = field<std::string>(driver, "description", "");
    driver_revision_ = numbers<4>(driver, "revision");
    csmi_revision_ = numbers<2>(driver, "csmi_revision");
    config_ = description.value("config", nlohmann::json::object());
    reported_phys_ = optional_field<std::uint8_t>(description, "number_of_phys");
    returns_status_fis_ = field<bool>(description, "returns_status_fis", true);
    expires_timeout_zero_ = field<bool>(description, "expires_timeout_zero", false);
    phy_noise_ = optional_field<std::uint32_t>(description, "phy_noise");
    raid_drive_count_ = optional_field<std::uint8_t>(description, "raid_drive_count");
    stp_data_bytes_ = optional_field<std::uint32_t>(description, "stp_data_bytes");

    for (const auto& item : description.value("phys", nlohmann::json::array())) {
        phy entry;
        entry.number = field<std::uint8_t>(item, "phy", 0);
        if (entry.number >= CSMI_SAS_MAX_PHYS) {
            throw description_error("a phy table has 32 entries");
        }
        entry.port = field<std::uint8_t>(item, "port", entry.number);
        entry.negotiated_rate = field<std::uint8_t>(item, "negotiated_link_rate", 0x09);
        entry.minimum_rate = field<std::uint8_t>(item, "minimum_link_rate", 0x08);
        entry.maximum_rate = field<std::uint8_t>(item, "maximum_link_rate", 0x09);
        entry.identify.device_type = field<std::uint8_t>(item, "device_type", CSMI_SAS_END_DEVICE);
        entry.identify.initiator_protocol = item.contains("initiator_protocol")
                                                ? protocol_of(item.at("initiator_protocol"))
                                                : std::uint8_t{0x0D};
        entry.identify.address =
            parse_sas_address(field<std::string>(item, "sas_address", "0000000000000000"));
        entry.identify.phy_identifier = entry.number;
        if (item.contains("attached")) {
            const auto& attached = item.at("attached");
            entry.attached.device_type =
                field<std::uint8_t>(attached, "device_type", CSMI_SAS_END_DEVICE);
            entry.attached.target_protocol = attached.contains("target_protocol")
                                                 ? protocol_of(attached.at("target_protocol"))
                                                 : std::uint8_t{0};
            entry.attached.address =
                parse_sas_address(field<std::string>(attached, "sas_address", "0000000000000000"));
            entry.attached.phy_identifier = field<std::uint8_t>(attached, "phy_identifier", 0);
            if (attached.contains("drive")) {
                const auto id = attached.at("drive").get<std::string>();
                entry.target = find_drive(id);
                if (entry.target == nullptr) {
                    throw description_error("phy names an unknown drive: \"" + id + "\"");
                }
            }
            if (attached.contains("ssp_target")) {
                const auto& target = attached.at("ssp_target");
                entry.ssp = ssp_target{field<std::string>(target, "vendor", ""),
                                       field<std::string>(target, "product", ""),
                                       field<std::string>(target, "revision", "")};
            }
        }
        phys_.push_back(entry);
    }
    for (const auto& item : description.value("raid_sets", nlohmann::json::array())) {
        raid_set set;
        set.index = field<std::uint32_t>(item, "index", 0);
        set.raid_type = field<std::uint8_t>(item, "raid_type", 0);
        for (const auto& id : item.value("drives", nlohmann::json::array())) {
            drive* member = find_drive(id.get<std::string>());
            if (member == nullptr) {
                throw description_error("RAID set names an unknown drive: " + id.dump());
            }
            set.drives.push_back(member);
        }
        raid_sets_.push_back(set);
    }
    const auto rules = description.value("faults", nlohmann::json::array());
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const auto& rule = rules[i];
        request_fault fault{field<std::string>(rule, "request", ""),
                            optional_field<std::uint8_t>(rule, "ata_command"),
                            occurrence::from(rule),
                            optional_field<std::uint32_t>(rule, "error"),
                            optional_field<std::uint32_t>(rule, "return_code"),
                            optional_field<std::uint8_t>(rule, "connection_status")};
        const std::string where = "controller " +
                                  std::to_string(field<std::uint32_t>(description, "number", 0)) +
                                  " faults[" + std::to_string(i) + "]";
        const bool known =
            std::any_of(std::begin(request_kinds), std::end(request_kinds),
                        [&](const request_kind& kind) { return fault.request == kind.name; });
        const bool pass_through = fault.request == "stp" || fault.request == "ssp";
        // A rule that can never fire changes nothing either.
        if (!known || (fault.ata_command && fault.request != "stp")) {
            throw description_error(where + " " + rule.dump() +
                                    " matches no request: \"request\" is one of the kinds "
                                    "listed, and \"ata_command\" narrows only \"stp\"");
        }
        const bool fails = fault.error.value_or(0) != 0 || fault.return_code.value_or(0) != 0 ||
                           (pass_through && fault.connection_status.value_or(0) != 0);
        fault.no_data =
            moves_no_data(rule, where, !fails, "no Windows error, ReturnCode or connection status");
        faults_.push_back(fault);
    }
}

const csmi_controller::request_fault*
csmi_controller::fault_for(const std::string& kind, std::optional<std::uint8_t> command) {
    const request_fault* fired = nullptr;
    for (auto& fault : faults_) {
        const bool matches = fault.request == kind &&
                             (!fault.ata_command || (command && *fault.ata_command == *command));
        if (matches && fault.when.count() && fired == nullptr) {
            fired = &fault;
        }
    }
    return fired;
}

const csmi_controller::phy* csmi_controller::phy_with_attached(const sas_address& address) const {
    for (const auto& entry : phys_) {
        if (entry.attached.device_type != 0 && entry.attached.address == address) {
            return &entry;
        }
    }
    return nullptr;
}

std::optional<sas_address> csmi_controller::address_of(const drive* target) const {
    for (const auto& entry : phys_) {
        if (entry.target == target) {
            return entry.attached.address;
        }
    }
    return std::nullopt;
}

std::uint32_t csmi_controller::handle(control_request& request) {
    if (request.code != IOCTL_SCSI_MINIPORT) {
        return ERROR_INVALID_FUNCTION;
    }
    // The port driver passes on only requests whose header lies within both buffers.
    if (request.in == nullptr || request.out == nullptr ||
        request.in_length < sizeof(IOCTL_HEADER) || request.out_length < request.in_length) {
        return ERROR_INVALID_PARAMETER;
    }
    auto* buffer = static_cast<std::uint8_t*>(request.out);
    if (request.out != request.in) {
        std::memmove(buffer, request.in, request.in_length);
    }
    const std::uint32_t size = request.in_length;
    IOCTL_HEADER header;
    std::memcpy(&header, buffer, sizeof header);
    const auto signature_end =
        std::find(std::begin(header.Signature), std::end(header.Signature), '\0');
    request.details["csmi_code"] = header.ControlCode;
    request.details["signature"] = std::string(std::begin(header.Signature), signature_end);
    request.details["timeout"] = header.Timeout;
    request.details["length"] = header.Length;

    const request_kind* kind = nullptr;
    for (const auto& each : request_kinds) {
        if (each.code == header.ControlCode) {
            kind = &each;
        }
    }
    std::uint32_t return_code = CSMI_SAS_STATUS_SUCCESS;
    const bool header_valid = header.HeaderLength == sizeof(IOCTL_HEADER) &&
                              header.Length == size - sizeof(IOCTL_HEADER) &&
                              known_signature(header.Signature);
    if (header_valid && kind == nullptr) {
        return_code = CSMI_SAS_STATUS_BAD_CNTL_CODE;
    } else if (!header_valid || std::memcmp(header.Signature, kind->signature, 8) != 0) {
        return_code = CSMI_SAS_STATUS_INVALID_PARAMETER;
    } else {
        const bool stp = header.ControlCode == CC_CSMI_SAS_STP_PASSTHRU;
        bool timed_out = false;
        if (expires_timeout_zero_ && header.Timeout == 0) {
            // Zero seconds have run out before the request starts: the driver fails it and, for
            // STP, resets the target in the middle of the command.
            request.details["refused_by"] = "expires_timeout_zero";
            if (stp) {
                stp_passthru(buffer, size, request, nullptr, 0, timed_out);
            }
            return ERROR_SEM_TIMEOUT;
        }
        std::optional<std::uint64_t> time_limit_ms;
        if (header.Timeout != 0) {
            time_limit_ms = std::uint64_t{header.Timeout} * 1000;
        }
        std::optional<std::uint8_t> ata_command;
        if (stp && size >= 64) {
            ata_command =
                buffer[offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Parameters.bCommandFIS) + 2];
        }
        const request_fault* fault = fault_for(kind->name, ata_command);
        if (fault != nullptr) {
            request.details["fault"] = true;
        }
        if (fault != nullptr && fault->error.value_or(0) != 0) {
            return *fault->error;
        }
        if (fault != nullptr && fault->return_code) {
            return_code = *fault->return_code;
        } else if (fault != nullptr && fault->no_data &&
                   fault->connection_status.value_or(0) == 0) {
            // Success without carrying the request out: the reply holds what the request held.
            return_code = CSMI_SAS_STATUS_SUCCESS;
        } else {
            switch (header.ControlCode) {
            case CC_CSMI_SAS_GET_DRIVER_INFO:
                return_code = driver_info(buffer, size);
                break;
            case CC_CSMI_SAS_GET_CNTLR_CONFIG:
                return_code = controller_config(buffer, size);
                break;
            case CC_CSMI_SAS_GET_PHY_INFO:
                return_code = phy_info(buffer, size);
                break;
            case CC_CSMI_SAS_GET_RAID_INFO:
                return_code = raid_info(buffer, size);
                break;
            case CC_CSMI_SAS_GET_RAID_CONFIG:
                return_code = raid_config(buffer, size);
                break;
            case CC_CSMI_SAS_STP_PASSTHRU:
                return_code = stp_passthru(buffer, size, request, fault, time_limit_ms, timed_out);
                break;
            default:
                return_code = ssp_passthru(buffer, size, request, fault);
                break;
            }
        }
        if (timed_out) {
            request.details["refused_by"] = "timeout";
            return ERROR_SEM_TIMEOUT;
        }
    }
    header.ReturnCode = return_code;
    std::memcpy(buffer + offsetof(IOCTL_HEADER, ReturnCode), &header.ReturnCode,
                sizeof header.ReturnCode);
    request.details["return_code"] = return_code;
    request.returned = size;
    return ERROR_SUCCESS;
}

std::uint32_t csmi_controller::driver_info(std::uint8_t* buffer, std::uint32_t size) {
    if (size < sizeof(CSMI_SAS_DRIVER_INFO_BUFFER)) {
        return CSMI_SAS_STATUS_INVALID_PARAMETER;
    }
    CSMI_SAS_DRIVER_INFO info{};
    copy_text(info.szName, driver_name_);
    copy_text(info.szDescription, driver_description_);
    info.usMajorRevision = driver_revision_[0];
    info.usMinorRevision = driver_revision_[1];
    info.usBuildRevision = driver_revision_[2];
    info.usReleaseRevision = driver_revision_[3];
    info.usCSMIMajorRevision = csmi_revision_[0];
    info.usCSMIMinorRevision = csmi_revision_[1];
    std::memcpy(buffer + sizeof(IOCTL_HEADER), &info, sizeof info);
    return CSMI_SAS_STATUS_SUCCESS;
}

std::uint32_t csmi_controller::controller_config(std::uint8_t* buffer, std::uint32_t size) {
    if (size < sizeof(CSMI_SAS_CNTLR_CONFIG_BUFFER)) {
        return CSMI_SAS_STATUS_INVALID_PARAMETER;
    }
    CSMI_SAS_CNTLR_CONFIG config{};
    config.uBoardID = field<std::uint32_t>(config_, "board_id", 0);
    config.usSlotNumber = field<std::uint16_t>(config_, "slot", 0);
    config.bControllerClass = field<std::uint8_t>(config_, "controller_class", 5);
    config.bIoBusType = field<std::uint8_t>(config_, "io_bus_type", 3);
    const auto pci = config_.value("pci", nlohmann::json::object());
    config.BusAddress.PciAddress.bBusNumber = field<std::uint8_t>(pci, "bus", 0);
    config.BusAddress.PciAddress.bDeviceNumber = field<std::uint8_t>(pci, "device", 0);
    config.BusAddress.PciAddress.bFunctionNumber = field<std::uint8_t>(pci, "function", 0);
    copy_text(config.szSerialNumber, field<std::string>(config_, "serial", ""));
    const auto revision = numbers<4>(config_, "revision");
    config.usMajorRevision = revision[0];
    config.usMinorRevision = revision[1];
    config.usBuildRevision = revision[2];
    config.usReleaseRevision = revision[3];
    const auto bios = numbers<4>(config_, "bios_revision");
    config.usBIOSMajorRevision = bios[0];
    config.usBIOSMinorRevision = bios[1];
    config.usBIOSBuildRevision = bios[2];
    config.usBIOSReleaseRevision = bios[3];
    config.uControllerFlags = field<std::uint32_t>(config_, "flags", 0);
    std::memcpy(buffer + sizeof(IOCTL_HEADER), &config, sizeof config);
    return CSMI_SAS_STATUS_SUCCESS;
}

std::uint32_t csmi_controller::phy_info(std::uint8_t* buffer, std::uint32_t size) {
    if (size < sizeof(CSMI_SAS_PHY_INFO_BUFFER)) {
        return CSMI_SAS_STATUS_INVALID_PARAMETER;
    }
    auto fill = [](CSMI_SAS_IDENTIFY& out, const identify_part& part) {
        out.bDeviceType = part.device_type;
        out.bInitiatorPortProtocol = part.initiator_protocol;
        out.bTargetPortProtocol = part.target_protocol;
        std::memcpy(out.bSASAddress, part.address.data(), 8);
        out.bPhyIdentifier = part.phy_identifier;
    };
    CSMI_SAS_PHY_INFO info{};
    info.bNumberOfPhys = reported_phys_.value_or(static_cast<std::uint8_t>(phys_.size()));
    for (const auto& entry : phys_) {
        auto& out = info.Phy[entry.number];
        fill(out.Identify, entry.identify);
        out.bPortIdentifier = entry.port;
        out.bNegotiatedLinkRate = entry.negotiated_rate;
        out.bMinimumLinkRate = entry.minimum_rate;
        out.bMaximumLinkRate = entry.maximum_rate;
        fill(out.Attached, entry.attached);
    }
    if (phy_noise_) {
        // xorshift32: the same noise for the same seed, so a failing case repeats.
        std::uint32_t state = *phy_noise_ != 0 ? *phy_noise_ : 1;
        auto* bytes = reinterpret_cast<std::uint8_t*>(&info);
        for (std::size_t i = 0; i < sizeof info; ++i) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            bytes[i] = static_cast<std::uint8_t>(state);
        }
    }
    std::memcpy(buffer + sizeof(IOCTL_HEADER), &info, sizeof info);
    return CSMI_SAS_STATUS_SUCCESS;
}

std::uint32_t csmi_controller::raid_info(std::uint8_t* buffer, std::uint32_t size) {
    if (size < sizeof(CSMI_SAS_RAID_INFO_BUFFER)) {
        return CSMI_SAS_STATUS_INVALID_PARAMETER;
    }
    CSMI_SAS_RAID_INFO info{};
    info.uNumRaidSets = static_cast<ULONG>(raid_sets_.size());
    info.uMaxDrivesPerSet = 8;
    std::memcpy(buffer + sizeof(IOCTL_HEADER), &info, sizeof info);
    return CSMI_SAS_STATUS_SUCCESS;
}

std::uint32_t csmi_controller::raid_config(std::uint8_t* buffer, std::uint32_t size) {
    constexpr std::uint32_t drives_at = offsetof(CSMI_SAS_RAID_CONFIG_BUFFER, Configuration.Drives);
    if (size < drives_at) {
        return CSMI_SAS_STATUS_INVALID_PARAMETER;
    }
    ULONG index = 0;
    std::memcpy(&index, buffer + offsetof(CSMI_SAS_RAID_CONFIG_BUFFER, Configuration.uRaidSetIndex),
                sizeof index);
    const auto set = std::find_if(raid_sets_.begin(), raid_sets_.end(),
                                  [&](const raid_set& each) { return each.index == index; });
    if (set == raid_sets_.end()) {
        return CSMI_SAS_STATUS_INVALID_PARAMETER;
    }
    // The entries that fit the caller's buffer are written; the count tells how many there are.
    std::memset(buffer + sizeof(IOCTL_HEADER), 0, size - sizeof(IOCTL_HEADER));
    std::memcpy(buffer + sizeof(IOCTL_HEADER), &index, sizeof index);
    buffer[offsetof(CSMI_SAS_RAID_CONFIG_BUFFER, Configuration.bRaidType)] = set->raid_type;
    buffer[offsetof(CSMI_SAS_RAID_CONFIG_BUFFER, Configuration.bDriveCount)] =
        raid_drive_count_.value_or(static_cast<std::uint8_t>(set->drives.size()));
    const std::size_t room = (size - drives_at) / sizeof(CSMI_SAS_RAID_DRIVES);
    for (std::size_t i = 0; i < set->drives.size() && i < room; ++i) {
        const drive& member = *set->drives[i];
        CSMI_SAS_RAID_DRIVES entry{};
        const auto& words = member.identify_words();
        const auto model = ata_text(words, ATA_ID_MODEL_NUMBER, ATA_ID_MODEL_NUMBER_WORDS);
        const auto firmware =
            ata_text(words, ATA_ID_FIRMWARE_REVISION, ATA_ID_FIRMWARE_REVISION_WORDS);
        const auto serial = ata_text(words, 10, 10);
        std::memcpy(entry.bModel, model.data(), std::min(model.size(), sizeof entry.bModel));
        std::memcpy(entry.bFirmware, firmware.data(),
                    std::min(firmware.size(), sizeof entry.bFirmware));
        std::memcpy(entry.bSerialNumber, serial.data(),
                    std::min(serial.size(), sizeof entry.bSerialNumber));
        if (const auto address = address_of(&member)) {
            std::memcpy(entry.bSASAddress, address->data(), 8);
        }
        entry.bDriveUsage = 1; // member of the set
        entry.usBlockSize = 512;
        entry.bDriveType = 2; // SATA
        entry.uDriveIndex = static_cast<ULONG>(i);
        entry.ulTotalUserBlocks.uLowPart = static_cast<ULONG>(words[100] | (words[101] << 16));
        entry.ulTotalUserBlocks.uHighPart = static_cast<ULONG>(words[102] | (words[103] << 16));
        std::memcpy(buffer + drives_at + i * sizeof entry, &entry, sizeof entry);
    }
    return CSMI_SAS_STATUS_SUCCESS;
}

} // namespace winsim
