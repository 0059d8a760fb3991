#include "marlisk_run.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace marlisk_test {

std::string path_lines(const std::string& found, const std::string& target) {
    return "Serch device path: <" + found + ">\r\nInput device path: <" + target + ">\r\n";
}

marlisk_run::marlisk_run() {
    options.working_dir = dir.path();
    // Each run keeps its named mutexes to itself, so suites may run side by side.
    options.env.emplace_back("WINSIM_MUTEX_DIR", (dir / "mutexes").string());
}

void marlisk_run::edit_machine(const std::function<void(nlohmann::json&)>& edit) {
    nlohmann::json machine = options.machine_json.empty()
                                 ? fwu_test::default_machine()
                                 : nlohmann::json::parse(options.machine_json);
    edit(machine);
    options.machine_json = machine.dump();
}

fwu_test::image_file marlisk_run::image(const std::string& name, std::size_t size,
                                        std::uint32_t seed) {
    return fwu_test::write_image(dir / name, size, seed);
}

fwu_test::run_result marlisk_run::run(const std::vector<std::string>& arguments) const {
    const auto chosen = program.empty() ? fwu_test::program_path("marlisk") : program;
    if (chosen.empty()) {
        throw std::runtime_error("marlisk is not built");
    }
    return fwu_test::run(chosen, arguments, options);
}

std::string marlisk_run::log() const {
    std::ifstream in(dir / "FwUpdateTool.log", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool marlisk_run::log_exists() const {
    return std::filesystem::exists(dir / "FwUpdateTool.log");
}

std::vector<nlohmann::json> downloads(const fwu_test::run_result& result) {
    std::vector<nlohmann::json> found;
    for (const auto& command : result.ata_commands()) {
        if (command.value("command", 0) == 0x92) {
            found.push_back(command);
        }
    }
    return found;
}

std::vector<nlohmann::json> window_events(const fwu_test::run_result& result) {
    return result.calls("window");
}

std::vector<int> positions(const fwu_test::run_result& result) {
    std::vector<int> values;
    for (const auto& event : window_events(result)) {
        if (event.value("event", "") == "pos") {
            values.push_back(event.at("value").get<int>());
        }
    }
    return values;
}

nlohmann::json& drive_of(nlohmann::json& machine, const std::string& id) {
    for (auto& drive : machine.at("drives")) {
        if (drive.value("id", "") == id) {
            return drive;
        }
    }
    throw std::runtime_error("no drive " + id);
}

} // namespace marlisk_test
