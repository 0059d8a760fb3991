// The simulated machine: its devices and drives, the clock and the trace, built
// from a machine description (JSON; see docs/machine-format.md).
#pragma once

#include <winsim/api.h>
#include <winsim/device.h>
#include <winsim/device_clock.h>
#include <winsim/drive.h>
#include <winsim/trace.h>

#include <nlohmann/json.hpp>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace winsim {

struct machine_settings {
    std::string trace_path;     // empty: no trace
    bool virtual_clock = false; // WINSIM_CLOCK=virtual
};

class machine {
public:
    machine(const nlohmann::json& description, const machine_settings& settings);
    machine(const machine&) = delete;
    machine& operator=(const machine&) = delete;

    // The process's machine, made on first use from WINSIM_MACHINE, WINSIM_TRACE and
    // WINSIM_CLOCK. It is never destroyed: the exit record is written after static
    // destructors may have run.
    static machine& instance();

    open_result open(std::wstring_view name, std::uint32_t access, std::uint32_t share);
    void close(open_id id);
    std::uint32_t control(open_id id, std::uint32_t code, void* in, std::uint32_t in_length,
                          void* out, std::uint32_t out_length, std::uint32_t& returned);
    void sleep(std::uint32_t milliseconds);
    void record_exit(int status);

    bool elevated() const { return elevated_; }
    bool windows_64bit() const { return windows_64bit_; }
    bool mutex_held_elsewhere(std::wstring_view name) const;
    std::optional<std::string> dos_drive_root(char letter) const;

    drive* find_drive(std::string_view id);
    const std::vector<std::unique_ptr<drive>>& drives() const { return drives_; }
    const nlohmann::json& description() const { return description_; }
    winsim::trace& trace() { return trace_; }
    device_clock& clock() { return clock_; }

    // Another kind of device (a controller) joins the machine this way.
    void add_device(std::unique_ptr<device> added);
    // A device asked before the machine's own whether it answers to a name: a driver made in
    // code that stands in for them (the fuzz targets' scripted driver).
    void add_device_first(std::unique_ptr<device> added);

private:
    struct open_device {
        device* target = nullptr;
        std::string name; // as the program gave it, for the trace
        std::uint32_t access = 0;
        std::uint32_t share = 0;
    };

    nlohmann::json description_;
    winsim::trace trace_;
    device_clock clock_;
    bool elevated_ = true;
    bool windows_64bit_ = true;
    std::vector<std::wstring> mutexes_elsewhere_;
    std::map<char, std::string> dos_drives_;
    std::vector<std::unique_ptr<drive>> drives_;
    std::vector<std::unique_ptr<device>> devices_;
    std::map<open_id, open_device> opens_;
    open_id next_id_ = 1;

    // What another process does to a file while the program pauses.
    struct file_event {
        std::uint32_t at_sleep = 0; // the n-th Sleep of the process, from 1
        std::string path;           // host path, relative to the working directory
        std::string replace_with;   // empty: the file is removed; else copied over it
    };
    std::vector<file_event> file_events_;
    std::uint32_t sleeps_ = 0;
    void apply_file_events();
};

// The machine that runs when WINSIM_MACHINE is unset (kept equal to
// examples/default-machine.json).
nlohmann::json default_machine_description();

// UTF-8 of a wide name, for the trace.
std::string utf8(std::wstring_view text);

} // namespace winsim
