// Running Skelder on a simulated machine: the default machine or one with the Halvern drive
// of \\.\PhysicalDrive0 changed, images in the run's own working directory.
#pragma once

#include <fwu_test_support.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace skelder_test {

inline constexpr const char* kDisk = R"(\\.\PhysicalDrive0)";
inline constexpr const char* kDrive = "pd0-halvern";
inline constexpr std::size_t kMiB = 1024 * 1024;

// Control codes as the trace writes them.
inline constexpr const char* kGetAddress = "0x41018";
inline constexpr const char* kScsiPassThroughDirect = "0x4D014";
inline constexpr const char* kAtaPassThroughDirect = "0x4D030";

// The default machine, whose Halvern drive and disk the test may change before the run.
class Machine {
public:
    Machine();

    nlohmann::json& Root() { return m_machine; }
    nlohmann::json& Drive();
    nlohmann::json& Disk();
    Machine& SetWord(int word, std::uint16_t value);
    // A drive fault rule ("command", "features", "route", "nth", "times", "status", "error").
    Machine& AddDriveFault(const nlohmann::json& rule);
    // A SCSI status for a SCSI command ("opcode", "ata_command", "nth", "times", "scsi_status").
    Machine& AddScsiFault(const nlohmann::json& rule);
    // A Windows error for DeviceIoControl on the disk ("ioctl", "nth", "times", "error").
    Machine& AddIoctlFault(const nlohmann::json& rule);
    // The disk's driver refuses a control code with a Windows error.
    Machine& Refuse(const std::string& ioctl, std::uint32_t error);

    std::string Json() const { return m_machine.dump(); }

private:
    nlohmann::json m_machine;
};

// One run in a working directory of its own, where the test writes its images.
class SkelderRun {
public:
    fwu_test::image_file WriteImage(const std::string& name, std::size_t size,
                                    std::uint32_t seed = 1);
    fwu_test::run_result Run(const std::vector<std::string>& arguments,
                             const Machine* machine = nullptr,
                             std::optional<bool> elevated = std::nullopt);

    const fwu_test::temp_dir& Dir() const { return m_dir; }

private:
    fwu_test::temp_dir m_dir;
};

std::string ProgramPath();

// The usage text as printed for the program as invoked.
std::string UsageText();

// The warning printed before every download or activate step.
std::string WarningBanner();

// Progress lines of the first `shown` of `transfers` full transfers, the first one after
// `spinner` earlier lines of the process.
std::string ProgressLines(int shown, int transfers, int spinner = 0);
// Progress lines of all `transfers` full transfers.
inline std::string ProgressLines(int transfers) {
    return ProgressLines(transfers, transfers);
}

// ATA commands of a run with the given opcode, in order.
std::vector<nlohmann::json> Commands(const fwu_test::run_result& result, int opcode);
std::vector<nlohmann::json> DownloadCommands(const fwu_test::run_result& result);

// DeviceIoControl records of a control code, in order.
std::vector<nlohmann::json> ControlCalls(const fwu_test::run_result& result,
                                         const std::string& ioctl);

// Opcodes of all ATA commands of a run, in order.
std::vector<int> Opcodes(const fwu_test::run_result& result);

int BlockCount(const nlohmann::json& ata);
int BlockOffset(const nlohmann::json& ata);

} // namespace skelder_test
