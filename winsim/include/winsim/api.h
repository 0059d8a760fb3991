// What the Windows stand-in asks of the simulated machine. Program code never
// includes this; only winapi/src does.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace winsim {

using open_id = std::uint64_t;

struct open_result {
    std::uint32_t error = 0; // Windows error code; 0 when opened
    open_id id = 0;
};

// Names that CreateFileW hands to the machine instead of the file system:
// "\\.\..." and "\\?\..." (but not "\\?\X:\..." file names).
bool is_device_name(std::wstring_view name);

open_result open_device(std::wstring_view name, std::uint32_t access, std::uint32_t share);
void close_device(open_id id);

// Returns the Windows error code (0: success) and sets the bytes returned.
std::uint32_t device_control(open_id id, std::uint32_t code, void* in, std::uint32_t in_length,
                             void* out, std::uint32_t out_length, std::uint32_t& returned);

void sleep(std::uint32_t milliseconds);
std::uint64_t tick_ms();

bool machine_is_64bit();
// Whether the process runs with administrator rights (the description's "elevated"): what a
// check of the token's Administrators membership answers.
bool machine_elevated();
bool mutex_held_elsewhere(std::wstring_view name);

// The host directory a Windows drive letter stands for (Z: is "/").
std::optional<std::string> dos_drive_root(char letter);

// The setup API's view: devices of all classes in enumeration order, and the
// disk interfaces (device paths) the disks offer.
struct setup_device_entry {
    std::string class_name;
    std::string class_guid; // "{4d36e96a-e325-11ce-bfc1-08002be10318}"
    std::string description;
    std::string hardware_id;
};
std::vector<setup_device_entry> setup_devices();
std::vector<std::string> disk_interface_paths();

// Appends a record to the trace (setup-API calls, window events).
void trace_record(const nlohmann::json& record);

// Writes the exit record of the trace; called once at process end.
void record_process_exit(int status);

} // namespace winsim
