#include <winsim/machine.h>

#include <winsim/csmi_controller.h>
#include <winsim/disk.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <type_traits>
#include <unistd.h>

namespace winsim {
namespace {

constexpr std::uint32_t data_access =
    GENERIC_READ | GENERIC_WRITE | GENERIC_ALL | 0x0001u | 0x0002u;

bool reads(std::uint32_t access) {
    return (access & (GENERIC_READ | GENERIC_ALL | 0x0001u)) != 0;
}
bool writes(std::uint32_t access) {
    return (access & (GENERIC_WRITE | GENERIC_ALL | 0x0002u)) != 0;
}

// Windows' rule: each open's access must lie within the other's share mode.
bool compatible(std::uint32_t access_a, std::uint32_t share_a, std::uint32_t access_b,
                std::uint32_t share_b) {
    auto allows = [](std::uint32_t access, std::uint32_t share) {
        return (!reads(access) || (share & FILE_SHARE_READ) != 0) &&
               (!writes(access) || (share & FILE_SHARE_WRITE) != 0);
    };
    return allows(access_a, share_b) && allows(access_b, share_a);
}

nlohmann::json load_description() {
    const char* path = std::getenv("WINSIM_MACHINE");
    if (path == nullptr || *path == '\0') {
        return default_machine_description();
    }
    std::ifstream in(path);
    if (!in) {
        throw description_error(std::string("cannot read machine description ") + path);
    }
    return nlohmann::json::parse(in);
}

} // namespace

std::string utf8(std::wstring_view text) {
    std::string out;
    for (wchar_t ch : text) {
        // wchar_t is signed on Linux: take its bits as a code point.
        const auto code =
            static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(ch));
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | ((code >> 18) & 0x07));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

machine::machine(const nlohmann::json& description, const machine_settings& settings)
    : description_(description), trace_(settings.trace_path), clock_(settings.virtual_clock) {
    elevated_ = field<bool>(description, "elevated", true);
    windows_64bit_ = field<bool>(description, "windows_64bit", true);
    for (const auto& name : description.value("mutexes_held_elsewhere", nlohmann::json::array())) {
        mutexes_elsewhere_.push_back(widen_ascii(name.get<std::string>()));
    }
    dos_drives_['Z'] = "/";
    const auto drives_by_letter = description.value("dos_drives", nlohmann::json::object());
    for (const auto& [letter, root] : drives_by_letter.items()) {
        if (letter.size() != 1 || !std::isalpha(static_cast<unsigned char>(letter[0]))) {
            throw description_error("not a drive letter: " + letter);
        }
        dos_drives_[static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0])))] =
            root.get<std::string>();
    }
    drive_services services{trace_, clock_};
    for (const auto& item : description.value("drives", nlohmann::json::array())) {
        drives_.push_back(std::make_unique<drive>(item, services));
    }
    for (const auto& item : description.value("disks", nlohmann::json::array())) {
        const auto id = field<std::string>(item, "drive", "");
        drive* target = find_drive(id);
        if (target == nullptr) {
            throw description_error("disk names an unknown drive: \"" + id + "\"");
        }
        devices_.push_back(std::make_unique<disk>(item, *target));
    }
    for (const auto& item : description.value("controllers", nlohmann::json::array())) {
        devices_.push_back(std::make_unique<csmi_controller>(
            item, [this](std::string_view id) { return find_drive(id); }));
    }
    for (const auto& item : description.value("file_events", nlohmann::json::array())) {
        file_event event;
        event.at_sleep = field<std::uint32_t>(item, "at_sleep", 0);
        const bool removes = item.contains("remove");
        event.path = field<std::string>(item, removes ? "remove" : "replace", "");
        event.replace_with = removes ? "" : field<std::string>(item, "with", "");
        if (event.at_sleep == 0 || event.path.empty() || (!removes && event.replace_with.empty())) {
            throw description_error("file event needs at_sleep and remove, or replace and with: " +
                                    item.dump());
        }
        file_events_.push_back(event);
    }
}

machine& machine::instance() {
    static machine* the_machine = [] {
        try {
            machine_settings settings;
            if (const char* trace = std::getenv("WINSIM_TRACE")) {
                settings.trace_path = trace;
            }
            if (const char* clock = std::getenv("WINSIM_CLOCK")) {
                settings.virtual_clock = std::string(clock) == "virtual";
            }
            return new machine(load_description(), settings);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "winsim: bad machine description: %s\n", error.what());
            std::fflush(stderr);
            ::_exit(70);
        }
    }();
    return *the_machine;
}

void machine::add_device(std::unique_ptr<device> added) {
    devices_.push_back(std::move(added));
}

void machine::add_device_first(std::unique_ptr<device> added) {
    // Appended, then turned to the front: gcc's -Wnull-dereference misreads a move-insert at the
    // front of a vector of unique_ptr at -O3.
    devices_.push_back(std::move(added));
    std::rotate(devices_.begin(), devices_.end() - 1, devices_.end());
}

drive* machine::find_drive(std::string_view id) {
    for (auto& candidate : drives_) {
        if (candidate->id() == id) {
            return candidate.get();
        }
    }
    return nullptr;
}

open_result machine::open(std::wstring_view name, std::uint32_t access, std::uint32_t share) {
    open_result result;
    device* target = nullptr;
    for (auto& candidate : devices_) {
        if (candidate->answers_to(name)) {
            target = candidate.get();
            break;
        }
    }
    if (target == nullptr) {
        result.error = ERROR_FILE_NOT_FOUND;
    } else if (!elevated_ && (access & data_access) != 0) {
        // Reading or writing a raw device needs an elevated process.
        result.error = ERROR_ACCESS_DENIED;
    } else {
        const std::uint32_t elsewhere = GENERIC_READ | GENERIC_WRITE;
        bool allowed = !target->in_use_elsewhere() ||
                       compatible(elsewhere, FILE_SHARE_READ | FILE_SHARE_WRITE, access, share);
        for (const auto& [id, open] : opens_) {
            if (open.target == target && !compatible(open.access, open.share, access, share)) {
                allowed = false;
            }
        }
        if (!allowed) {
            result.error = ERROR_SHARING_VIOLATION;
        } else if (const std::uint32_t refused = target->opening(); refused != 0) {
            result.error = refused;
        } else {
            result.id = next_id_++;
            opens_[result.id] = {target, utf8(name), access, share};
        }
    }
    trace_.write({{"call", "CreateFileW"},
                  {"target", utf8(name)},
                  {"access", access},
                  {"share", share},
                  {"ok", result.error == 0},
                  {"error", result.error}});
    return result;
}

void machine::close(open_id id) {
    const auto open = opens_.find(id);
    if (open == opens_.end()) {
        return;
    }
    trace_.write(
        {{"call", "CloseHandle"}, {"target", open->second.name}, {"ok", true}, {"error", 0}});
    device* const target = open->second.target;
    opens_.erase(open);
    target->closed();
}

std::uint32_t machine::control(open_id id, std::uint32_t code, void* in, std::uint32_t in_length,
                               void* out, std::uint32_t out_length, std::uint32_t& returned) {
    returned = 0;
    const auto open = opens_.find(id);
    if (open == opens_.end()) {
        return ERROR_INVALID_HANDLE;
    }
    control_request request;
    request.code = code;
    request.in = in;
    request.in_length = in_length;
    request.out = out;
    request.out_length = out_length;
    const std::uint32_t error = open->second.target->control(request);
    returned = error == 0 ? request.returned : 0;
    if (!trace_.enabled()) {
        return error; // nothing would be written: spare building the record
    }
    nlohmann::json record = {{"call", "DeviceIoControl"},
                             {"target", open->second.name},
                             {"ioctl", hex_code(code)},
                             {"in_len", in_length},
                             {"out_len", out_length},
                             {"ok", error == 0},
                             {"error", error},
                             {"returned", returned}};
    record.update(request.details);
    trace_.write(record);
    return error;
}

void machine::sleep(std::uint32_t milliseconds) {
    trace_.write({{"call", "Sleep"}, {"ms", milliseconds}});
    ++sleeps_;
    apply_file_events();
    clock_.advance(milliseconds);
}

void machine::apply_file_events() {
    for (const auto& event : file_events_) {
        if (event.at_sleep != sleeps_) {
            continue;
        }
        std::error_code error;
        if (event.replace_with.empty()) {
            std::filesystem::remove(event.path, error);
        } else {
            // Removed first: overwrite_existing fails in some Windows runtimes' copy_file.
            std::filesystem::remove(event.path, error);
            std::filesystem::copy_file(event.replace_with, event.path, error);
        }
        trace_.write({{"call", "file_event"},
                      {"path", event.path},
                      {"action", event.replace_with.empty() ? "remove" : "replace"},
                      {"ok", !error}});
    }
}

void machine::record_exit(int status) {
    nlohmann::json drives = nlohmann::json::array();
    for (const auto& each : drives_) {
        drives.push_back(each->exit_state());
    }
    trace_.write({{"call", "exit"},
                  {"code", status},
                  {"virtual_ms", clock_.elapsed_ms()},
                  {"drives", drives}});
}

bool machine::mutex_held_elsewhere(std::wstring_view name) const {
    for (const auto& held : mutexes_elsewhere_) {
        if (held == name) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> machine::dos_drive_root(char letter) const {
    const auto found = dos_drives_.find(letter);
    if (found == dos_drives_.end()) {
        return std::nullopt;
    }
    return found->second;
}

} // namespace winsim
