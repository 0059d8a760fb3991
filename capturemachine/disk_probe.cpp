#include "disk_probe.h"

#include "ata_requests.h"
#include "identify_data.h"

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>
#include <cstring>
#include <map>
#include <string>

namespace capture {
namespace {

// Windows' answers for "this driver does not offer that request" (STATUS_INVALID_DEVICE_REQUEST
// and STATUS_NOT_SUPPORTED): refusals of the control code itself, not of this one request.
bool not_offered(std::uint32_t error) {
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED;
}

std::string hex_code(std::uint32_t code) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (int shift = 28; shift >= 0; shift -= 4) {
        const auto digit = code >> shift & 0xF;
        if (digit != 0 || !text.empty() || shift == 0) {
            text += digits[digit];
        }
    }
    return "0x" + text;
}

// What each control code sent to one disk came to: a code that never succeeded and was
// refused as not offered becomes a `refuse` entry; any other failure a note.
class code_outcomes {
public:
    void record(std::uint32_t code, bool ok, std::uint32_t error) {
        auto& outcome = codes_[code];
        outcome.answered = outcome.answered || ok;
        if (!ok) {
            outcome.error = error;
        }
    }
    void write_to(disk_record& disk) const {
        for (const auto& [code, outcome] : codes_) {
            if (outcome.answered) {
                continue;
            }
            if (not_offered(outcome.error)) {
                disk.refused.push_back({code, outcome.error});
            } else {
                disk.notes.push_back("control code " + hex_code(code) + " failed with error " +
                                     std::to_string(outcome.error));
            }
        }
    }

private:
    struct code_outcome {
        bool answered = false;
        std::uint32_t error = 0;
    };
    std::map<std::uint32_t, code_outcome> codes_;
};

struct open_disk {
    HANDLE handle = INVALID_HANDLE_VALUE;
    disk_record disk;
    drive_record drive;
    code_outcomes codes;
    scsi_address_record address; // zero until the driver tells it
};

bool query_property(open_disk& target, STORAGE_PROPERTY_ID property, std::uint8_t (&reply)[1024],
                    DWORD& returned) {
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = property;
    query.QueryType = PropertyStandardQuery;
    returned = 0;
    const bool ok = ::DeviceIoControl(target.handle, IOCTL_STORAGE_QUERY_PROPERTY, &query,
                                      sizeof query, reply, sizeof reply, &returned, nullptr) != 0;
    target.codes.record(IOCTL_STORAGE_QUERY_PROPERTY, ok, ok ? 0 : ::GetLastError());
    return ok;
}

// A text of the descriptor at `offset`, terminated within the bytes returned.
std::optional<std::string> descriptor_text(const std::uint8_t (&reply)[1024], DWORD returned,
                                           DWORD offset) {
    if (offset == 0 || offset >= returned) {
        return std::nullopt;
    }
    const auto* text = reinterpret_cast<const char*>(reply + offset);
    const auto* end = static_cast<const char*>(std::memchr(text, 0, returned - offset));
    if (end == nullptr) {
        return std::nullopt;
    }
    return std::string(text, end);
}

void read_device_descriptor(open_disk& target) {
    std::uint8_t reply[1024] = {};
    DWORD returned = 0;
    if (!query_property(target, StorageDeviceProperty, reply, returned) ||
        returned < offsetof(STORAGE_DEVICE_DESCRIPTOR, RawPropertiesLength)) {
        return;
    }
    STORAGE_DEVICE_DESCRIPTOR descriptor{};
    std::memcpy(&descriptor, reply, offsetof(STORAGE_DEVICE_DESCRIPTOR, RawPropertiesLength));
    target.disk.bus_type = static_cast<std::uint8_t>(descriptor.BusType);
    auto& drive = target.drive;
    drive.scsi_vendor = descriptor_text(reply, returned, descriptor.VendorIdOffset);
    drive.scsi_product = descriptor_text(reply, returned, descriptor.ProductIdOffset);
    drive.scsi_revision = descriptor_text(reply, returned, descriptor.ProductRevisionOffset);
    drive.scsi_serial = descriptor_text(reply, returned, descriptor.SerialNumberOffset);
}

void read_adapter_descriptor(open_disk& target) {
    std::uint8_t reply[1024] = {};
    DWORD returned = 0;
    if (!query_property(target, StorageAdapterProperty, reply, returned) ||
        returned < offsetof(STORAGE_ADAPTER_DESCRIPTOR, AdapterUsesPio)) {
        return;
    }
    STORAGE_ADAPTER_DESCRIPTOR descriptor{};
    std::memcpy(&descriptor, reply, offsetof(STORAGE_ADAPTER_DESCRIPTOR, AdapterUsesPio));
    // An adapter without a limit reports one no request reaches.
    auto limit = [](DWORD value) { return value == 0xFFFFFFFF ? 0 : value; };
    target.disk.adapter =
        adapter_limits{limit(descriptor.MaximumTransferLength),
                       limit(descriptor.MaximumPhysicalPages), descriptor.AlignmentMask};
}

void read_device_number(open_disk& target) {
    STORAGE_DEVICE_NUMBER number{};
    DWORD returned = 0;
    const bool ok = ::DeviceIoControl(target.handle, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0,
                                      &number, sizeof number, &returned, nullptr) != 0;
    target.codes.record(IOCTL_STORAGE_GET_DEVICE_NUMBER, ok, ok ? 0 : ::GetLastError());
    if (ok) {
        target.disk.device_number = number.DeviceNumber;
    }
}

void read_address(open_disk& target) {
    SCSI_ADDRESS address{};
    address.Length = sizeof address;
    DWORD returned = 0;
    const bool ok = ::DeviceIoControl(target.handle, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address,
                                      sizeof address, &returned, nullptr) != 0;
    target.codes.record(IOCTL_SCSI_GET_ADDRESS, ok, ok ? 0 : ::GetLastError());
    if (ok) {
        target.address = {address.PortNumber, address.PathId, address.TargetId, address.Lun};
        target.disk.address = target.address;
    }
}

std::string trimmed_field(const std::uint8_t* field, std::size_t width) {
    std::string text(reinterpret_cast<const char*>(field), width);
    const auto end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

// INQUIRY through the direct request, else (when the driver refused it) the buffered one.
route_reply inquiry(open_disk& target, bool vital, std::uint8_t page, std::uint8_t (&data)[252]) {
    route_reply reply;
    for (const bool direct : {true, false}) {
        reply = send_inquiry(target.handle, target.address, direct, vital, page, data);
        target.codes.record(direct ? IOCTL_SCSI_PASS_THROUGH_DIRECT : IOCTL_SCSI_PASS_THROUGH,
                            reply.error == 0, reply.error);
        if (reply.error == 0) {
            break; // the SCSI layer answered; the buffered request would answer alike
        }
    }
    return reply;
}

// The SCSI identity where the device descriptor gave none: INQUIRY's blank-padded fields, and
// the unit serial number page, which is what the programs read of the serial.
void read_inquiry(open_disk& target) {
    auto& drive = target.drive;
    std::uint8_t data[252] = {};
    if (inquiry(target, false, 0, data).result == outcome::completed) {
        if (!drive.scsi_vendor) {
            drive.scsi_vendor = trimmed_field(data + 8, 8);
        }
        if (!drive.scsi_product) {
            drive.scsi_product = trimmed_field(data + 16, 16);
        }
        if (!drive.scsi_revision) {
            drive.scsi_revision = trimmed_field(data + 32, 4);
        }
    }
    std::memset(data, 0, sizeof data);
    const auto serial = inquiry(target, true, 0x80, data);
    if (serial.result == outcome::completed && serial.transferred >= 4 && data[1] == 0x80) {
        const std::size_t length = static_cast<std::size_t>(data[2] << 8 | data[3]);
        const std::size_t present = std::min<std::size_t>(serial.transferred, sizeof data) - 4;
        drive.scsi_serial =
            std::string(reinterpret_cast<const char*>(data + 4), std::min(length, present));
    }
}

void note_sense_format(disk_record& disk, const route_reply& reply) {
    sense_fields fields;
    if (!disk.sense_format && decode_sense(reply.sense, fields)) {
        disk.sense_format = fields.descriptor_format ? "descriptor" : "fixed";
    }
}

// IDENTIFY DEVICE through every route, so that each control code's refusal is seen; the data
// of the first route that brings some is the drive's. Returns the routes that carried it.
std::vector<disk_route> read_identify(open_disk& target, std::uint32_t& last_error) {
    std::vector<disk_route> carried;
    bool have_data = false;
    for (const auto route : all_disk_routes) {
        alignas(16) std::uint8_t data[512] = {};
        const auto reply =
            send_ata_query(target.handle, target.address, route, identify_device, data);
        target.codes.record(control_code_of(route), reply.error == 0, reply.error);
        if (reply.error != 0) {
            last_error = reply.error;
        }
        sense_fields fields;
        if (reply.result == outcome::sat_refused && decode_sense(reply.sense, fields) &&
            fields.asc == 0x20) {
            // INVALID COMMAND OPERATION CODE: a SAT layer without ATA PASS-THROUGH.
            target.disk.sat_layer_none = true;
            note_sense_format(target.disk, reply);
        }
        if (reply.result != outcome::completed || !any_data(data, sizeof data)) {
            continue;
        }
        carried.push_back(route);
        if (!have_data) {
            target.drive.identify = words_of(data);
            have_data = true;
        }
    }
    return carried;
}

bool is_sat(disk_route route) {
    return route == disk_route::sat16_direct || route == disk_route::sat16_buffered;
}

// IDENTIFY DEVICE once more with CK_COND: a SAT layer that takes it answers CHECK CONDITION,
// RECOVERED ERROR, 00h/1Dh with the registers; one that does not, ILLEGAL REQUEST, INVALID
// FIELD IN CDB (24h/00h). Either reply shows the sense data format.
void probe_check_condition(open_disk& target, const std::vector<disk_route>& carried) {
    for (const auto route : carried) {
        if (!is_sat(route)) {
            continue;
        }
        alignas(16) std::uint8_t data[512] = {};
        const auto reply =
            send_ata_query(target.handle, target.address, route, identify_device, data, true);
        note_sense_format(target.disk, reply);
        sense_fields fields;
        if (reply.result == outcome::completed && decode_sense(reply.sense, fields)) {
            target.disk.sat_ck_cond = true;
        } else if (reply.result == outcome::sat_refused && decode_sense(reply.sense, fields) &&
                   fields.asc == 0x24) {
            target.disk.sat_ck_cond = false;
        } else {
            target.disk.notes.push_back("sat_ck_cond: IDENTIFY DEVICE with CK_COND gave no "
                                        "register return and no refusal");
        }
        return;
    }
}

// The capabilities page through the first route that carried IDENTIFY DEVICE and can carry
// READ LOG EXT; a drive that aborts it has no such page.
void read_capabilities(open_disk& target, const std::vector<disk_route>& carried) {
    for (const auto route : carried) {
        if (route == disk_route::smart) {
            continue;
        }
        alignas(16) std::uint8_t data[512] = {};
        const auto reply =
            send_ata_query(target.handle, target.address, route, read_capabilities_page, data);
        if (reply.result == outcome::completed && any_data(data, sizeof data)) {
            log_page page{};
            std::memcpy(page.data(), data, page.size());
            target.drive.capabilities = page;
            return;
        }
        if (reply.result == outcome::device_error) {
            return;
        }
    }
}

// Returns false when the name is not found.
bool probe_disk(machine_record& machine, unsigned number) {
    const std::wstring name = L"\\\\.\\PhysicalDrive" + std::to_wstring(number);
    open_disk target;
    target.handle =
        ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (target.handle == INVALID_HANDLE_VALUE) {
        const auto error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            return false;
        }
        machine.refusing.push_back({name, "CreateFileW", error, "the disk did not open"});
        return true;
    }
    target.disk.name = name;
    target.disk.number = number;
    target.drive.id = "pd" + std::to_string(number);
    read_device_descriptor(target);
    read_device_number(target);
    read_adapter_descriptor(target);
    read_address(target);
    read_inquiry(target);
    std::uint32_t last_error = 0;
    const auto carried = read_identify(target, last_error);
    if (!carried.empty()) {
        probe_check_condition(target, carried);
        read_capabilities(target, carried);
    }
    ::CloseHandle(target.handle);
    if (carried.empty()) {
        machine.refusing.push_back({name, "IDENTIFY DEVICE", last_error,
                                    "no pass-through route brought IDENTIFY DEVICE data"});
        return true;
    }
    target.codes.write_to(target.disk);
    target.disk.drive_id = target.drive.id;
    machine.drives.push_back(std::move(target.drive));
    machine.disks.push_back(std::move(target.disk));
    return true;
}

} // namespace

void probe_disks(machine_record& machine) {
    unsigned misses = 0;
    for (unsigned number = 0; number <= last_probed_number && misses < misses_ending_the_probe;
         ++number) {
        misses = probe_disk(machine, number) ? 0 : misses + 1;
    }
}

} // namespace capture
