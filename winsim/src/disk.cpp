// The disk's port and class driver: control-code dispatch, SCSI address, SMART
// IDENTIFY and storage properties. The pass-through codes live in their own files.
#include <winsim/disk.h>

#include <winsim/file_reads.h>

#include <windows.h>
#include <ntddscsi.h>
#include <winioctl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <string_view>

namespace winsim {
namespace {

// A name, or any STORAGE_BUS_TYPE value as a number (a capture of a USB or NVMe disk).
std::uint8_t bus_type_of(const nlohmann::json& value) {
    const auto name = value.is_string() ? value.get<std::string>() : std::string();
    if (!value.is_string() ||
        (!name.empty() && std::isdigit(static_cast<unsigned char>(name[0])))) {
        return static_cast<std::uint8_t>(to_number(value));
    }
    if (name == "ata") {
        return BusTypeAta;
    }
    if (name == "scsi") {
        return BusTypeScsi;
    }
    if (name == "sas") {
        return BusTypeSas;
    }
    if (name == "raid") {
        return BusTypeRAID;
    }
    if (name == "sata") {
        return BusTypeSata;
    }
    throw description_error("unknown bus type: " + name);
}

sat_kind sat_kind_of(const std::string& name) {
    if (name == "windows-ahci") {
        return sat_kind::windows_ahci;
    }
    if (name == "libata") {
        return sat_kind::libata;
    }
    if (name == "none") {
        return sat_kind::none;
    }
    throw description_error("unknown SAT layer: " + name);
}

constexpr std::uint64_t page_size = 4096;

// The N of a "\\.\PhysicalDriveN" name (letter case ignored), the disk class driver's number.
std::optional<std::uint32_t> physical_drive_number(const std::string& name) {
    constexpr std::string_view prefix = "\\\\.\\physicaldrive";
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 9) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(name[i])) != prefix[i]) {
            return std::nullopt;
        }
    }
    const auto digits = name.substr(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(),
                     [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)) != 0; })) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(std::stoul(digits));
}

} // namespace

disk::disk(const nlohmann::json& description, drive& target) : device(description), drive_(target) {
    const auto& address = description.value("scsi_address", nlohmann::json::object());
    port_ = field<std::uint8_t>(address, "port", 0);
    path_ = field<std::uint8_t>(address, "path", 0);
    target_id_ = field<std::uint8_t>(address, "target", 0);
    lun_ = field<std::uint8_t>(address, "lun", 0);
    const auto format = field<std::string>(description, "sense_format", "fixed");
    if (format != "fixed" && format != "descriptor") {
        throw description_error("unknown sense format: " + format);
    }
    sat_.format = format == "fixed" ? sense_format::fixed : sense_format::descriptor;
    sat_.kind = sat_kind_of(field<std::string>(description, "sat_layer", "windows-ahci"));
    sat_.takes_ck_cond = field<bool>(description, "sat_ck_cond", true);
    sat_.strict = field<bool>(description, "sat_strict", false);
    // Windows' inbox AHCI miniport: 128 KiB, 33 physical pages, word alignment.
    max_transfer_length_ = field<std::uint32_t>(description, "max_transfer_length", 131072);
    max_physical_pages_ = field<std::uint32_t>(description, "max_physical_pages", 33);
    alignment_mask_ = field<std::uint32_t>(description, "alignment_mask", 1);
    adapter_descriptor_size_ =
        optional_field<std::uint32_t>(description, "adapter_descriptor_size");
    reply_transfer_length_ = optional_field<std::uint32_t>(description, "reply_transfer_length");
    bus_type_ = bus_type_of(description.value("bus_type", nlohmann::json("sata")));
    device_number_ = optional_field<std::uint32_t>(description, "device_number");
    for (const auto& name : description.value("names", nlohmann::json::array())) {
        if (!device_number_) {
            device_number_ = physical_drive_number(name.get<std::string>());
        }
    }
    const auto rules = description.value("scsi_faults", nlohmann::json::array());
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const auto& rule = rules[i];
        const auto status = field<std::uint8_t>(rule, "scsi_status", scsi_status::busy);
        // GOOD without reaching the drive: the command completes and moves no data.
        moves_no_data(rule,
                      "device \"" + device_label(description) + "\" scsi_faults[" +
                          std::to_string(i) + "]",
                      status == scsi_status::good, "SCSI status GOOD");
        scsi_faults_.push_back({optional_field<std::uint8_t>(rule, "opcode"),
                                optional_field<std::uint8_t>(rule, "ata_command"),
                                occurrence::from(rule), status});
    }
}

std::uint32_t disk::handle(control_request& request) {
    switch (request.code) {
    case IOCTL_SCSI_GET_ADDRESS:
        return get_address(request);
    case IOCTL_SCSI_PASS_THROUGH_DIRECT:
        return scsi_pass_through(request, true);
    case IOCTL_SCSI_PASS_THROUGH:
        return scsi_pass_through(request, false);
    case IOCTL_ATA_PASS_THROUGH_DIRECT:
        return ata_pass_through(request, true);
    case IOCTL_ATA_PASS_THROUGH:
        return ata_pass_through(request, false);
    case SMART_RCV_DRIVE_DATA:
        return smart_receive(request);
    case IOCTL_STORAGE_QUERY_PROPERTY:
        return query_property(request);
    case IOCTL_STORAGE_GET_DEVICE_NUMBER:
        return device_number(request);
    default:
        return ERROR_INVALID_FUNCTION;
    }
}

scsi_result disk::run_scsi(std::span<const std::uint8_t> cdb, data_direction direction,
                           std::span<std::uint8_t> data,
                           std::optional<std::uint64_t> time_limit_ms) {
    const auto block = decode_ata_passthrough(cdb);
    std::optional<std::uint8_t> injected;
    for (auto& fault : scsi_faults_) {
        const bool matches =
            (!fault.opcode || (!cdb.empty() && *fault.opcode == cdb[0])) &&
            (!fault.ata_command || (block && *fault.ata_command == block->registers.command));
        if (matches && fault.when.count() && !injected) {
            injected = fault.status;
        }
    }
    if (injected) {
        // The target answered before the command reached the drive.
        return {*injected, {}, 0};
    }
    return execute_scsi(drive_, cdb, direction, data, sat_, time_limit_ms);
}

std::optional<std::uint64_t> disk::time_limit(std::uint32_t seconds) {
    // Microsoft's pages give TimeOutValue 0 no meaning of its own; here it sets no limit.
    if (seconds == 0) {
        return std::nullopt;
    }
    return std::uint64_t{seconds} * 1000;
}

const char* disk::adapter_refusal(std::uintptr_t address, std::uint32_t length) const {
    if (length == 0) {
        return nullptr;
    }
    if (max_transfer_length_ != 0 && length > max_transfer_length_) {
        return "max_transfer_length";
    }
    // Every page the buffer touches is one scatter-gather entry.
    const std::uint64_t first = address;
    const std::uint64_t pages = (first + length - 1) / page_size - first / page_size + 1;
    if (max_physical_pages_ != 0 && pages > max_physical_pages_) {
        return "max_physical_pages";
    }
    if ((address & alignment_mask_) != 0) {
        return "alignment_mask";
    }
    return nullptr;
}

void disk::record_data_placement(control_request& request, const void* data) {
    // Without noted reads (a build whose file reads bypass the stand-in) there is no answer.
    if (!file_reads_noted()) {
        return;
    }
    const auto offset = offset_in_file_read(data);
    request.details["data_in_image"] = offset.has_value();
    if (offset) {
        request.details["data_image_offset"] = *offset;
    }
}

std::uint32_t disk::stage_data(control_request& request, std::uint32_t header_size,
                               std::uint32_t length, void* direct_buffer,
                               std::size_t buffered_offset, data_phase& phase) {
    if (length == 0) {
        return ERROR_SUCCESS;
    }
    const bool out = phase.direction == data_direction::out;
    if (phase.direct) {
        if (direct_buffer == nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
        phase.data = std::span(static_cast<std::uint8_t*>(direct_buffer), length);
        if (out) {
            record_data_placement(request, direct_buffer);
        }
        return ERROR_SUCCESS;
    }
    const auto limit = out ? request.in_length : request.out_length;
    if (buffered_offset < header_size || buffered_offset + length > limit) {
        return ERROR_INVALID_PARAMETER;
    }
    phase.buffered_offset = buffered_offset;
    phase.staging.assign(length, 0);
    if (out) {
        std::memcpy(phase.staging.data(), static_cast<std::uint8_t*>(request.in) + buffered_offset,
                    length);
    }
    phase.data = phase.staging;
    return ERROR_SUCCESS;
}

void disk::return_staged_data(control_request& request, const data_phase& phase,
                              std::uint32_t transferred) {
    if (phase.direct || phase.direction != data_direction::in || transferred == 0) {
        return;
    }
    std::memcpy(static_cast<std::uint8_t*>(request.out) + phase.buffered_offset,
                phase.staging.data(), transferred);
    request.returned = std::max<std::uint32_t>(
        request.returned, static_cast<std::uint32_t>(phase.buffered_offset + transferred));
}

std::uint32_t disk::get_address(control_request& request) {
    if (request.out == nullptr || request.out_length < sizeof(SCSI_ADDRESS)) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    SCSI_ADDRESS address{};
    address.Length = sizeof(SCSI_ADDRESS);
    address.PortNumber = port_;
    address.PathId = path_;
    address.TargetId = target_id_;
    address.Lun = lun_;
    std::memcpy(request.out, &address, sizeof address);
    request.returned = sizeof address;
    return ERROR_SUCCESS;
}

std::uint32_t disk::smart_receive(control_request& request) {
    constexpr std::uint32_t in_size = sizeof(SENDCMDINPARAMS) - 1;
    constexpr std::uint32_t out_header = sizeof(SENDCMDOUTPARAMS) - 1;
    if (request.in == nullptr || request.in_length < in_size || request.out == nullptr ||
        request.out_length < out_header + IDENTIFY_BUFFER_SIZE) {
        return ERROR_INVALID_PARAMETER;
    }
    SENDCMDINPARAMS in{};
    std::memcpy(&in, request.in, in_size);
    const auto& regs = in.irDriveRegs;
    if (regs.bCommandReg != ID_CMD && regs.bCommandReg != SMART_CMD) {
        return ERROR_INVALID_PARAMETER;
    }
    auto* out = static_cast<std::uint8_t*>(request.out);
    ata_command command;
    command.registers.features = regs.bFeaturesReg;
    command.registers.count = regs.bSectorCountReg;
    command.registers.lba_low = regs.bSectorNumberReg;
    command.registers.lba_mid = regs.bCylLowReg;
    command.registers.lba_high = regs.bCylHighReg;
    command.registers.device = regs.bDriveHeadReg;
    command.registers.command = regs.bCommandReg;
    command.direction = data_direction::in;
    command.data = std::span(out + out_header, IDENTIFY_BUFFER_SIZE);
    command.route = "smart";
    const auto reply = drive_.execute(command);

    SENDCMDOUTPARAMS header{};
    header.cBufferSize = reply.transferred;
    if ((reply.status & ata_status::error) != 0) {
        header.DriverStatus.bDriverError = SMART_IDE_ERROR;
        header.DriverStatus.bIDEError = reply.error;
    }
    std::memcpy(out, &header, out_header);
    request.returned = out_header + reply.transferred;
    request.details["ata_command"] = regs.bCommandReg;
    return ERROR_SUCCESS;
}

std::uint32_t disk::device_number(control_request& request) {
    if (!device_number_) {
        return ERROR_INVALID_FUNCTION;
    }
    if (request.out == nullptr || request.out_length < sizeof(STORAGE_DEVICE_NUMBER)) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    // The whole disk: partition 0, as the disk class driver answers for \\.\PhysicalDriveN.
    const STORAGE_DEVICE_NUMBER number{FILE_DEVICE_DISK, *device_number_, 0};
    std::memcpy(request.out, &number, sizeof number);
    request.returned = sizeof number;
    request.details["device_number"] = *device_number_;
    return ERROR_SUCCESS;
}

std::uint32_t disk::query_property(control_request& request) {
    if (request.in == nullptr || request.in_length < 8 || request.out == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    STORAGE_PROPERTY_QUERY query{};
    std::memcpy(&query, request.in, 8);
    request.details["property"] = static_cast<int>(query.PropertyId);
    if (query.PropertyId != StorageDeviceProperty && query.PropertyId != StorageAdapterProperty) {
        return ERROR_INVALID_FUNCTION;
    }
    if (query.QueryType == PropertyExistsQuery) {
        return ERROR_SUCCESS;
    }
    if (query.QueryType != PropertyStandardQuery) {
        return ERROR_INVALID_PARAMETER;
    }
    std::vector<std::uint8_t> reply;
    if (query.PropertyId == StorageDeviceProperty) {
        STORAGE_DEVICE_DESCRIPTOR descriptor{};
        reply.resize(offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties));
        auto append = [&reply](const std::string& text) {
            const auto at = static_cast<DWORD>(reply.size());
            reply.insert(reply.end(), text.begin(), text.end());
            reply.push_back(0);
            return at;
        };
        descriptor.VendorIdOffset = append(drive_.scsi_vendor());
        descriptor.ProductIdOffset = append(drive_.scsi_product());
        descriptor.ProductRevisionOffset = append(drive_.scsi_revision());
        descriptor.SerialNumberOffset = append(drive_.scsi_serial());
        descriptor.Version = sizeof(STORAGE_DEVICE_DESCRIPTOR);
        descriptor.Size = static_cast<DWORD>(reply.size());
        descriptor.BusType = static_cast<STORAGE_BUS_TYPE>(bus_type_);
        std::memcpy(reply.data(), &descriptor,
                    offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties));
    } else {
        STORAGE_ADAPTER_DESCRIPTOR descriptor{};
        descriptor.Version = sizeof descriptor;
        descriptor.Size = adapter_descriptor_size_.value_or(sizeof descriptor);
        // No limit is reported as one no request reaches.
        descriptor.MaximumTransferLength =
            max_transfer_length_ != 0 ? max_transfer_length_ : 0xFFFFFFFF;
        descriptor.MaximumPhysicalPages =
            max_physical_pages_ != 0 ? max_physical_pages_ : 0xFFFFFFFF;
        descriptor.AlignmentMask = alignment_mask_;
        descriptor.AdapterUsesPio = 0;
        descriptor.CommandQueueing = 1;
        descriptor.BusType = bus_type_;
        reply.resize(sizeof descriptor);
        std::memcpy(reply.data(), &descriptor, sizeof descriptor);
    }
    // Callers may ask for the header alone first, to learn the size.
    const auto length = std::min<std::size_t>(reply.size(), request.out_length);
    std::memcpy(request.out, reply.data(), length);
    request.returned = static_cast<std::uint32_t>(length);
    return ERROR_SUCCESS;
}

} // namespace winsim
