// Running NorrixUpdater on a simulated machine: the default machine or one with the Norrix
// drive changed, datafiles in the run's own working directory.
#pragma once

#include <fwu_test_support.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace norrix_test {

inline constexpr const char* kNorrixDisk = R"(\\.\PhysicalDrive2)";
inline constexpr const char* kNorrixDrive = "pd2-norrix";
// The Norrix drive on phy 2 of the CSMI controller \\.\SCSI2:.
inline constexpr const char* kCsmiNorrixDrive = "scsi2-phy2-norrix";
inline constexpr const char* kCsmiNorrixAddress = "0000000500000002";
inline constexpr std::size_t kChunk = 64512;

// The default machine, whose Norrix drive the test may change before the run.
class Machine {
public:
    Machine();

    nlohmann::json& NorrixDrive(const char* id = kNorrixDrive);
    // IDENTIFY word `word` of the Norrix drive.
    Machine& SetWord(int word, std::uint16_t value, const char* id = kNorrixDrive);
    // The drive's datafile type character (high byte of word 153).
    Machine& SetTypeCharacter(char type);
    Machine& SetSecurityEnabled(const char* id = kNorrixDrive);
    // A drive fault rule ("command", "status", "error", "nth", "times", ...).
    Machine& AddDriveFault(const nlohmann::json& rule, const char* id = kNorrixDrive);
    // A Windows error for DeviceIoControl on the Norrix disk.
    Machine& AddIoctlFault(const nlohmann::json& rule);
    // A fault of the CSMI controller \\.\SCSI2: ("request", "return_code",
    // "connection_status", "nth", ...).
    Machine& AddControllerFault(const nlohmann::json& rule);

    // A top-level setting of the machine ("windows_64bit", "elevated", ...).
    Machine& Set(const std::string& key, const nlohmann::json& value) {
        m_machine[key] = value;
        return *this;
    }

    std::string Json() const { return m_machine.dump(); }

private:
    nlohmann::json m_machine;
};

// One run in a working directory of its own, where the test writes its datafiles.
class NorrixRun {
public:
    fwu_test::image_file WriteImage(const std::string& name, std::size_t size,
                                    std::uint32_t seed = 1);
    fwu_test::run_result Run(const std::vector<std::string>& arguments,
                             const Machine* machine = nullptr);

    const fwu_test::temp_dir& Dir() const { return m_dir; }

private:
    fwu_test::temp_dir m_dir;
};

// The DOWNLOAD MICROCODE commands of a run, in order.
std::vector<nlohmann::json> DownloadCommands(const fwu_test::run_result& result);

// Block count and block offset of a DOWNLOAD MICROCODE record.
int BlockCount(const nlohmann::json& ata);
int BlockOffset(const nlohmann::json& ata);

} // namespace norrix_test
