#include "description_writer.h"

#include "disk_probe.h"
#include "identify_data.h"
#include "json_text.h"
#include "microcode_support.h"

#include <ata.h>

namespace capture {
namespace {

// Fields of the format that no query shows; a capture leaves them to the machine's defaults.
const char* const not_captured[] = {
    "mutexes_held_elsewhere",
    "dos_drives",
    "file_events",
    "drives[].microcode.expected_length",
    "drives[].microcode.firmware_after_activation",
    "drives[].command_time_ms",
    "drives[].activation_time_ms",
    "drives[].faults",
    "drives[].logs other than address 0x30 page 3",
    "drives[].scsi.serial_page_length",
    "disks[].sat_layer other than none (windows-ahci or libata)",
    "disks[].sat_strict",
    "disks[].in_use_elsewhere",
    "disks[].refuse of control codes a capture does not send",
    "disks[].ioctl_faults",
    "disks[].scsi_faults",
    "disks[].adapter_descriptor_size",
    "disks[].reply_transfer_length",
    "controllers[].faults",
    "controllers[].expires_timeout_zero",
    "controllers[].phy_noise",
    "controllers[].raid_drive_count",
    "controllers[].stp_data_bytes",
};

json_value strings(const std::vector<std::string>& texts) {
    auto list = json_value::array();
    for (const auto& text : texts) {
        list.push(json_value::bytes(text));
    }
    return list;
}

template <std::size_t n> json_value numbers(const std::array<std::uint16_t, n>& values) {
    auto list = json_value::array();
    for (const auto value : values) {
        list.push(json_value::number(value));
    }
    return list;
}

json_value byte_list(const std::vector<std::uint8_t>& values) {
    auto list = json_value::array();
    for (const auto value : values) {
        list.push(json_value::number(value));
    }
    return list;
}

json_value pci_address(const controller_config_record& config) {
    auto address = json_value::object();
    address.add("bus", json_value::number(config.pci_bus))
        .add("device", json_value::number(config.pci_device))
        .add("function", json_value::number(config.pci_function));
    return address;
}

std::string sas_text(const sas_address& address) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (const auto byte : address) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

// An ATA string is written as text when every character is plain ASCII; trailing blanks are
// left out, as the format pads with them. Otherwise its words are written one by one.
bool plain_text(const std::string& text) {
    for (const char ch : text) {
        if (ch < 0x20 || ch > 0x7E) {
            return false;
        }
    }
    return true;
}

std::string without_trailing_blanks(const std::string& text) {
    const auto end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

json_value identify_object(const identify_words& words) {
    struct text_field {
        const char* key;
        int first, count;
    };
    const text_field texts[] = {
        {"model", ATA_ID_MODEL_NUMBER, ATA_ID_MODEL_NUMBER_WORDS},
        {"serial", ATA_ID_SERIAL_NUMBER, ATA_ID_SERIAL_NUMBER_WORDS},
        {"firmware", ATA_ID_FIRMWARE_REVISION, ATA_ID_FIRMWARE_REVISION_WORDS}};
    auto identify = json_value::object();
    std::array<bool, 256> as_text{};
    for (const auto& field : texts) {
        const auto text = ata_text(words, field.first, field.count);
        if (!plain_text(text)) {
            continue;
        }
        identify.add(field.key, json_value::bytes(without_trailing_blanks(text)));
        for (int i = 0; i < field.count; ++i) {
            as_text[static_cast<std::size_t>(field.first + i)] = true;
        }
    }
    // Word 255: a valid checksum is left to the machine, which computes it.
    const bool checksum = checksum_valid(words);
    as_text[ATA_ID_INTEGRITY] = checksum;
    auto listed = json_value::object();
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (!as_text[i]) {
            listed.add(std::to_string(i), json_value::hex(words[i], 4));
        }
    }
    identify.add("words", std::move(listed));
    identify.add("checksum", json_value::boolean(checksum));
    return identify;
}

json_value drive_object(const drive_record& drive) {
    auto object = json_value::object();
    object.add("id", json_value::bytes(drive.id));
    object.add("identify", identify_object(drive.identify));
    if (drive.capabilities) {
        auto qwords = json_value::object();
        for (int i = 0; i < 64; ++i) {
            if (const auto value = log_qword(*drive.capabilities, i); value != 0) {
                qwords.add(std::to_string(i), json_value::hex(value, 16));
            }
        }
        auto page = json_value::object();
        page.add("address", json_value::hex(0x30, 2))
            .add("page", json_value::number(3))
            .add("qwords", std::move(qwords));
        object.add("logs", json_value::array().push(std::move(page)));
    }
    const auto support = derive_microcode_support(drive.identify, drive.capabilities);
    auto microcode = json_value::object();
    microcode.add("subcommands", byte_list(support.subcommands))
        .add("min_blocks", json_value::number(support.min_blocks))
        .add("max_blocks", json_value::number(support.max_blocks));
    object.add("microcode", std::move(microcode));
    auto scsi = json_value::object();
    const std::pair<const char*, const std::optional<std::string>*> scsi_fields[] = {
        {"vendor", &drive.scsi_vendor},
        {"product", &drive.scsi_product},
        {"revision", &drive.scsi_revision},
        {"serial", &drive.scsi_serial}};
    for (const auto& [key, value] : scsi_fields) {
        if (*value) {
            scsi.add(key, json_value::bytes(**value));
        }
    }
    if (!scsi.empty()) {
        object.add("scsi", std::move(scsi));
    }
    return object;
}

json_value bus_type(std::uint8_t type) {
    switch (type) {
    case 0x01:
        return json_value::bytes("scsi");
    case 0x03:
        return json_value::bytes("ata");
    case 0x08:
        return json_value::bytes("raid");
    case 0x0A:
        return json_value::bytes("sas");
    case 0x0B:
        return json_value::bytes("sata");
    default:
        return json_value::number(type);
    }
}

json_value disk_object(const disk_record& disk) {
    auto object = json_value::object();
    object.add("names", json_value::array().push(json_value::text(disk.name)));
    // Only where the number differs from the name's, which no Windows disk shows.
    if (disk.device_number && *disk.device_number != disk.number) {
        object.add("device_number", json_value::number(*disk.device_number));
    }
    if (!disk.interface_path.empty()) {
        object.add("interface_path", json_value::text(disk.interface_path));
    }
    object.add("drive", json_value::bytes(disk.drive_id));
    if (disk.address) {
        auto address = json_value::object();
        address.add("port", json_value::number(disk.address->port))
            .add("path", json_value::number(disk.address->path))
            .add("target", json_value::number(disk.address->target))
            .add("lun", json_value::number(disk.address->lun));
        object.add("scsi_address", std::move(address));
    }
    if (disk.bus_type) {
        object.add("bus_type", bus_type(*disk.bus_type));
    }
    if (disk.adapter) {
        object.add("max_transfer_length", json_value::number(disk.adapter->max_transfer_length))
            .add("max_physical_pages", json_value::number(disk.adapter->max_physical_pages))
            .add("alignment_mask", json_value::number(disk.adapter->alignment_mask));
    }
    if (disk.sat_layer_none) {
        object.add("sat_layer", json_value::bytes("none"));
    }
    if (disk.sat_ck_cond) {
        object.add("sat_ck_cond", json_value::boolean(*disk.sat_ck_cond));
    }
    if (disk.sense_format) {
        object.add("sense_format", json_value::bytes(*disk.sense_format));
    }
    if (!disk.refused.empty()) {
        auto refuse = json_value::array();
        for (const auto& code : disk.refused) {
            auto entry = json_value::object();
            entry.add("ioctl", json_value::hex(code.ioctl, 0))
                .add("error", json_value::number(code.error));
            refuse.push(std::move(entry));
        }
        object.add("refuse", std::move(refuse));
    }
    if (!disk.notes.empty()) {
        object.add("notes", strings(disk.notes));
    }
    return object;
}

json_value protocol(std::uint8_t value) {
    switch (value) {
    case 0x01:
        return json_value::bytes("sata");
    case 0x02:
        return json_value::bytes("smp");
    case 0x04:
        return json_value::bytes("stp");
    case 0x08:
        return json_value::bytes("ssp");
    default:
        return json_value::number(value);
    }
}

json_value phy_object(const phy_record& phy) {
    auto object = json_value::object();
    object.add("phy", json_value::number(phy.number))
        .add("port", json_value::number(phy.port))
        .add("sas_address", json_value::bytes(sas_text(phy.identify.address)))
        .add("device_type", json_value::number(phy.identify.device_type))
        .add("initiator_protocol", json_value::number(phy.identify.initiator_protocol))
        .add("negotiated_link_rate", json_value::number(phy.negotiated_rate))
        .add("minimum_link_rate", json_value::number(phy.minimum_rate))
        .add("maximum_link_rate", json_value::number(phy.maximum_rate));
    const auto& attached = phy.attached;
    if (attached.device_type != 0 || attached.target_protocol != 0 ||
        attached.address != sas_address{}) {
        auto part = json_value::object();
        part.add("device_type", json_value::number(attached.device_type))
            .add("target_protocol", protocol(attached.target_protocol))
            .add("sas_address", json_value::bytes(sas_text(attached.address)))
            .add("phy_identifier", json_value::number(attached.phy_identifier));
        if (!phy.drive_id.empty()) {
            part.add("drive", json_value::bytes(phy.drive_id));
        }
        if (phy.ssp_target) {
            auto target = json_value::object();
            target.add("vendor", json_value::bytes(phy.ssp_target->vendor))
                .add("product", json_value::bytes(phy.ssp_target->product))
                .add("revision", json_value::bytes(phy.ssp_target->revision));
            part.add("ssp_target", std::move(target));
        }
        object.add("attached", std::move(part));
    }
    return object;
}

json_value controller_object(const controller_record& controller) {
    auto object = json_value::object();
    object.add("number", json_value::number(controller.number))
        .add("names", json_value::array().push(json_value::text(controller.name)));
    auto driver = json_value::object();
    driver.add("name", json_value::bytes(controller.driver.name))
        .add("description", json_value::bytes(controller.driver.description))
        .add("revision", numbers(controller.driver.revision))
        .add("csmi_revision", numbers(controller.driver.csmi_revision));
    object.add("driver", std::move(driver));
    if (const auto& config = controller.config) {
        auto part = json_value::object();
        part.add("board_id", json_value::hex(config->board_id, 8))
            .add("slot", json_value::number(config->slot))
            .add("controller_class", json_value::number(config->controller_class))
            .add("io_bus_type", json_value::number(config->io_bus_type))
            .add("pci", pci_address(*config))
            .add("serial", json_value::bytes(config->serial))
            .add("revision", numbers(config->revision))
            .add("bios_revision", numbers(config->bios_revision))
            .add("flags", json_value::number(config->flags));
        object.add("config", std::move(part));
    }
    if (controller.reported_phys && *controller.reported_phys != controller.phys.size()) {
        object.add("number_of_phys", json_value::number(*controller.reported_phys));
    }
    auto phys = json_value::array();
    for (const auto& phy : controller.phys) {
        phys.push(phy_object(phy));
    }
    object.add("phys", std::move(phys));
    auto sets = json_value::array();
    for (const auto& set : controller.raid_sets) {
        auto entry = json_value::object();
        entry.add("index", json_value::number(set.index))
            .add("raid_type", json_value::number(set.raid_type))
            .add("drives", strings(set.drive_ids));
        sets.push(std::move(entry));
    }
    object.add("raid_sets", std::move(sets));
    if (!controller.returns_status_fis) {
        object.add("returns_status_fis", json_value::boolean(false));
    }
    if (!controller.notes.empty()) {
        object.add("notes", strings(controller.notes));
    }
    return object;
}

json_value capture_object(const capture_facts& facts) {
    auto object = json_value::object();
    object.add("program", json_value::bytes("capture-machine"))
        .add("version", json_value::bytes(facts.version))
        .add("time", json_value::bytes(facts.time))
        .add("shareable", json_value::boolean(facts.shareable))
        .add("disks_probed", json_value::bytes("\\\\.\\PhysicalDrive0 upwards, until " +
                                               std::to_string(misses_ending_the_probe) +
                                               " names in a row are not found"))
        .add("controllers_probed", json_value::bytes("\\\\.\\SCSI0: to \\\\.\\SCSI15:"));
    return object;
}

} // namespace

std::string describe(const machine_record& machine, const capture_facts& facts) {
    auto description = json_value::object();
    description.add("capture", capture_object(facts));
    auto unseen = json_value::array();
    for (const char* field : not_captured) {
        unseen.push(json_value::bytes(field));
    }
    description.add("not_captured", std::move(unseen));
    description.add("elevated", json_value::boolean(machine.elevated))
        .add("windows_64bit", json_value::boolean(machine.windows_64bit));
    auto drives = json_value::array();
    for (const auto& drive : machine.drives) {
        drives.push(drive_object(drive));
    }
    description.add("drives", std::move(drives));
    auto disks = json_value::array();
    for (const auto& disk : machine.disks) {
        disks.push(disk_object(disk));
    }
    description.add("disks", std::move(disks));
    auto controllers = json_value::array();
    for (const auto& controller : machine.controllers) {
        controllers.push(controller_object(controller));
    }
    description.add("controllers", std::move(controllers));
    auto devices = json_value::array();
    for (const auto& device : machine.setup_devices) {
        auto entry = json_value::object();
        entry.add("class", json_value::text(device.class_name))
            .add("class_guid", json_value::text(device.class_guid))
            .add("description", json_value::text(device.description));
        if (!device.hardware_id.empty()) {
            entry.add("hardware_id", json_value::text(device.hardware_id));
        }
        devices.push(std::move(entry));
    }
    description.add("setup_devices", std::move(devices));
    auto refusing = json_value::array();
    for (const auto& device : machine.refusing) {
        auto entry = json_value::object();
        entry.add("name", json_value::text(device.name))
            .add("request", json_value::bytes(device.request))
            .add("error", json_value::number(device.error))
            .add("reason", json_value::bytes(device.reason));
        refusing.push(std::move(entry));
    }
    description.add("refusing", std::move(refusing));
    return description.to_text();
}

} // namespace capture
