// Running a built program as a child process on a simulated machine, and reading
// what it did: exit code, output, and the trace records the machine wrote.
#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fwu_test {

// The exit code of a case that cannot run here (ctest's SKIP_RETURN_CODE).
inline constexpr int skipped_exit_code = 77;

// A directory of its own for one test, removed with everything in it at the end.
class temp_dir {
public:
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

struct run_options {
    // The machine: JSON text, or a description file; neither = the built-in default.
    std::string machine_json;
    std::filesystem::path machine_path;
    // Overrides the description's "elevated" (the machine is rewritten to a temp file).
    std::optional<bool> elevated;
    bool virtual_clock = true;
    std::filesystem::path working_dir; // empty: a fresh temporary directory
    std::vector<std::pair<std::string, std::string>> env;
    // Put before the program, e.g. {"wine"} to run a Windows .exe (no trace then). With
    // no prefix, an .exe runs under Wine and its output reads as the host build's
    // ("\r\n" as "\n", its name as given): see docs/wine.md.
    std::vector<std::string> command_prefix;
    // Scaled by the build's factor where a 32-bit program runs under an emulator.
    std::chrono::milliseconds timeout{60'000};
    // A host program always writes its exit record; false where a case expects none.
    bool expect_exit_record = true;
    // The program starts with its standard output and error closed (out and err stay empty).
    bool standard_output_closed = false;
};

struct run_result {
    int exit_code = -1; // 128 + signal number when the program was killed
    bool timed_out = false;
    std::string out;
    std::string err;
    std::vector<nlohmann::json> trace;

    // The records of one "call" kind, in order ("ata", "DeviceIoControl", ...).
    std::vector<nlohmann::json> calls(std::string_view call) const;
    std::vector<nlohmann::json> ata_commands() const { return calls("ata"); }
    // The "exit" record; null when there is none.
    nlohmann::json exit_record() const;
    // A drive's entry of the exit record; null when there is none.
    nlohmann::json drive_state(std::string_view id) const;
};

// Throws, failing the case, when the program cannot be started, does not end in time, or
// (a host program) ends without its exit record: no case reads the wire of a run that
// did not happen.
run_result run(const std::filesystem::path& program, const std::vector<std::string>& arguments,
               const run_options& options = {});

// The built program of that name ("skelder", "marlisk", "norrixupdater", "capture-machine");
// empty when this build has none. With FWU_TEST_WINE_FLAVOUR_DIR set, that folder's
// <name>_sim.exe instead: the Windows flavour over the simulated machine, under Wine.
std::filesystem::path program_path(std::string_view name);

// The repository's examples/default-machine.json, parsed.
nlohmann::json default_machine();

struct image_file {
    std::filesystem::path path;
    std::vector<std::uint8_t> bytes;
    std::string sha256;
};

// n bytes of a pattern that depends on the seed, so images differ and no block
// repeats another.
image_file write_image(const std::filesystem::path& path, std::size_t size, std::uint32_t seed = 1);

std::string sha256_hex(const std::vector<std::uint8_t>& bytes);

} // namespace fwu_test
