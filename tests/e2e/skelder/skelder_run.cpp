#include "skelder_run.h"

#include <gtest/gtest.h>

#include <cmath>

namespace skelder_test {

Machine::Machine() : m_machine(fwu_test::default_machine()) {}

nlohmann::json& Machine::Drive() {
    for (auto& drive : m_machine.at("drives")) {
        if (drive.at("id") == kDrive) {
            return drive;
        }
    }
    throw std::runtime_error("the default machine has no Halvern drive");
}

nlohmann::json& Machine::Disk() {
    for (auto& disk : m_machine.at("disks")) {
        if (disk.at("drive") == kDrive) {
            return disk;
        }
    }
    throw std::runtime_error("the default machine has no Halvern disk");
}

Machine& Machine::SetWord(int word, std::uint16_t value) {
    Drive()["identify"]["words"][std::to_string(word)] = value;
    return *this;
}

Machine& Machine::AddDriveFault(const nlohmann::json& rule) {
    Drive()["faults"].push_back(rule);
    return *this;
}

Machine& Machine::AddScsiFault(const nlohmann::json& rule) {
    Disk()["scsi_faults"].push_back(rule);
    return *this;
}

Machine& Machine::AddIoctlFault(const nlohmann::json& rule) {
    Disk()["ioctl_faults"].push_back(rule);
    return *this;
}

Machine& Machine::Refuse(const std::string& ioctl, std::uint32_t error) {
    Disk()["refuse"].push_back({{"ioctl", ioctl}, {"error", error}});
    return *this;
}

fwu_test::image_file SkelderRun::WriteImage(const std::string& name, std::size_t size,
                                            std::uint32_t seed) {
    return fwu_test::write_image(m_dir / name, size, seed);
}

fwu_test::run_result SkelderRun::Run(const std::vector<std::string>& arguments,
                                     const Machine* machine, std::optional<bool> elevated) {
    fwu_test::run_options options;
    options.working_dir = m_dir.path();
    if (machine != nullptr) {
        options.machine_json = machine->Json();
    }
    options.elevated = elevated;
    auto result = fwu_test::run(ProgramPath(), arguments, options);
    EXPECT_FALSE(result.timed_out);
    return result;
}

std::string ProgramPath() {
    const auto program = fwu_test::program_path("skelder");
    EXPECT_FALSE(program.empty()) << "this build has no skelder";
    return program.string();
}

std::string UsageText() {
    const std::string rule =
        "-------------------------------------------------------------------------\n";
    return "\n"
           "Usage: " +
           ProgramPath() +
           " [prefix]<device> </D:firmware file> [options]\n"
           "\n"
           "Default Interface is SCSI Pass-Through.\n"
           "Use prefix /T: to use ATA Pass-Through.\n"
           "Use prefix /C: to use CSMI device.\n"
           "Use /h option to see this information.\n"
           "Use /v option to see verbose debug information.\n"
           "Use /i option to print device information.\n"
           "SATA Target options:\n"
           "  Use --scan to print CSMI devices in the system\n"
           "  Use /a option to use activate command (0x0F Feature Reg.)\n"
           "  Use /e option to use deferred download (0x0E Feature Reg.)\n"
           "  Use /s option to use segmented download (0x03 Feature Reg.)\n"
           "  Use /r <number> to keep retrying firmware download\n"
           "  Use /g <number> to set segment size.\n"
           "\n"
           "Examples:\n"
           "  Skelder.exe \\\\.\\PhysicalDrive0 /D:fw.LOD /s \n"
           "  Skelder.exe /T:\\\\.\\PhysicalDrive1 /D:fw.LOD /e \n"
           "  Skelder.exe /C:\\\\.\\SCSI3:1 /D:fw.LOD /e /a /v \n"
           "  Skelder.exe /C:2,0000000500000000 /D:fw.LOD /e /a /v \n"
           "\n"
           "Return Codes Supported: \n" +
           rule + "| Code |         Description                                            |\n" +
           rule + "|  0   |  Firmware Update succeeded                                     |\n" +
           rule + "|  1   |  Firmware Filed due to device reasons                          |\n" +
           rule + "|  2   |  No Target device found                                        |\n" +
           rule + "|  4   |  Fialed due to invalid / corrupted firmware file               |\n" +
           rule + "|  8   |  Invalid Command Line argument                                 |\n" +
           rule + "|  9   |  Target Device interface not supported                         |\n" +
           rule;
}

std::string WarningBanner() {
    return "\n\n\tPLEASE DO NOT CLOSE THIS WINDOW OR INTERRUPT THE FW DOWNLOAD PROCESS\n\n\n";
}

std::string ProgressLines(int shown, int transfers, int spinner) {
    static const char spinners[4] = {'|', '/', '\xC4', '\\'};
    std::string lines;
    for (int i = 0; i < shown; ++i) {
        const int percent = i * 100 / transfers;
        lines += "\r\t" + std::string(static_cast<std::size_t>(percent / 5 + 1), '+') + " " +
                 spinners[(spinner + i + 1) % 4] + " : " + std::to_string(percent) + "%";
    }
    return lines;
}

std::vector<nlohmann::json> Commands(const fwu_test::run_result& result, int opcode) {
    std::vector<nlohmann::json> commands;
    for (const auto& ata : result.ata_commands()) {
        if (ata.at("command") == opcode) {
            commands.push_back(ata);
        }
    }
    return commands;
}

std::vector<nlohmann::json> DownloadCommands(const fwu_test::run_result& result) {
    return Commands(result, 0x92);
}

std::vector<nlohmann::json> ControlCalls(const fwu_test::run_result& result,
                                         const std::string& ioctl) {
    std::vector<nlohmann::json> calls;
    for (const auto& call : result.calls("DeviceIoControl")) {
        if (call.at("ioctl") == ioctl) {
            calls.push_back(call);
        }
    }
    return calls;
}

std::vector<int> Opcodes(const fwu_test::run_result& result) {
    std::vector<int> opcodes;
    for (const auto& ata : result.ata_commands()) {
        opcodes.push_back(ata.at("command").get<int>());
    }
    return opcodes;
}

int BlockCount(const nlohmann::json& ata) {
    return ata.at("count").get<int>() | ata.at("lba_low").get<int>() << 8;
}

int BlockOffset(const nlohmann::json& ata) {
    return ata.at("lba_mid").get<int>() | ata.at("lba_high").get<int>() << 8;
}

} // namespace skelder_test
