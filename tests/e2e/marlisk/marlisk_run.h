// Running Marlisk on a simulated machine and reading what it left: exit code, log file,
// trace (downloads, window events).
#pragma once

#include <fwu_test_support.h>

#include <functional>
#include <string>
#include <vector>

namespace marlisk_test {

// The default machine's Dravoni drive (\\.\PhysicalDrive1) under its device interface path.
inline const std::string kDravoniPath =
    "\\\\?\\scsi#disk&ven_dravoni&prod_kx2000#4&2f3b1c0&0&010000#"
    "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
inline const std::string kDravoniDrive = "pd1-dravoni";
inline const std::string kRaidDravoniDrive = "scsi2-phy1-dravoni";
inline const std::string kLogHeader = "<< DRAVONI HDD Firmware Update Tool >>\r\n";

// The lines FindTargetAndUpdate writes for one drive examined.
std::string path_lines(const std::string& found, const std::string& target);

struct marlisk_run {
    fwu_test::temp_dir dir; // working directory, and the mutex lock files of this run
    fwu_test::run_options options;
    std::filesystem::path program; // empty: the built marlisk

    marlisk_run();
    // The default machine changed by edit.
    void edit_machine(const std::function<void(nlohmann::json&)>& edit);
    fwu_test::image_file image(const std::string& name, std::size_t size, std::uint32_t seed = 1);
    fwu_test::run_result run(const std::vector<std::string>& arguments) const;
    // FwUpdateTool.log as bytes; empty when there is none.
    std::string log() const;
    bool log_exists() const;
};

// DOWNLOAD MICROCODE commands that reached a drive.
std::vector<nlohmann::json> downloads(const fwu_test::run_result& result);
// "window" records.
std::vector<nlohmann::json> window_events(const fwu_test::run_result& result);
// The values of the progress bar's "pos" events.
std::vector<int> positions(const fwu_test::run_result& result);
// The first drive record of the machine with that id.
nlohmann::json& drive_of(nlohmann::json& machine, const std::string& id);

} // namespace marlisk_test
