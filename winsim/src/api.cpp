// The stand-in's entry points into the process's machine.
#include <winsim/api.h>

#include <winsim/machine.h>

namespace winsim {

bool is_device_name(std::wstring_view name) {
    if (name.rfind(L"\\\\.\\", 0) == 0) {
        return true;
    }
    // "\\?\C:\file" is a file name with the long-path prefix, not a device.
    return name.rfind(L"\\\\?\\", 0) == 0 && !(name.size() >= 6 && name[5] == L':');
}

open_result open_device(std::wstring_view name, std::uint32_t access, std::uint32_t share) {
    return machine::instance().open(name, access, share);
}

void close_device(open_id id) {
    machine::instance().close(id);
}

std::uint32_t device_control(open_id id, std::uint32_t code, void* in, std::uint32_t in_length,
                             void* out, std::uint32_t out_length, std::uint32_t& returned) {
    return machine::instance().control(id, code, in, in_length, out, out_length, returned);
}

void sleep(std::uint32_t milliseconds) {
    machine::instance().sleep(milliseconds);
}

std::uint64_t tick_ms() {
    return machine::instance().clock().tick_ms();
}

bool machine_is_64bit() {
    return machine::instance().windows_64bit();
}

bool machine_elevated() {
    return machine::instance().elevated();
}

bool mutex_held_elsewhere(std::wstring_view name) {
    return machine::instance().mutex_held_elsewhere(name);
}

std::optional<std::string> dos_drive_root(char letter) {
    return machine::instance().dos_drive_root(letter);
}

std::vector<setup_device_entry> setup_devices() {
    std::vector<setup_device_entry> entries;
    for (const auto& item :
         machine::instance().description().value("setup_devices", nlohmann::json::array())) {
        entries.push_back({field<std::string>(item, "class", ""),
                           field<std::string>(item, "class_guid", ""),
                           field<std::string>(item, "description", ""),
                           field<std::string>(item, "hardware_id", "")});
    }
    return entries;
}

std::vector<std::string> disk_interface_paths() {
    std::vector<std::string> paths;
    for (const auto& item :
         machine::instance().description().value("disks", nlohmann::json::array())) {
        if (item.contains("interface_path")) {
            paths.push_back(item.at("interface_path").get<std::string>());
        }
    }
    return paths;
}

void trace_record(const nlohmann::json& record) {
    machine::instance().trace().write(record);
}

void record_process_exit(int status) {
    machine::instance().record_exit(status);
}

} // namespace winsim
