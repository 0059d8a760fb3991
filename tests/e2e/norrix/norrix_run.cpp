#include "norrix_run.h"

#include <gtest/gtest.h>

namespace norrix_test {

Machine::Machine() : m_machine(fwu_test::default_machine()) {}

nlohmann::json& Machine::NorrixDrive(const char* id) {
    for (auto& drive : m_machine.at("drives")) {
        if (drive.at("id") == id) {
            return drive;
        }
    }
    throw std::runtime_error("the default machine has no Norrix drive");
}

Machine& Machine::SetWord(int word, std::uint16_t value, const char* id) {
    NorrixDrive(id)["identify"]["words"][std::to_string(word)] = value;
    return *this;
}

Machine& Machine::SetTypeCharacter(char type) {
    return SetWord(153, static_cast<std::uint16_t>(static_cast<unsigned char>(type) << 8 | 0x31));
}

Machine& Machine::SetSecurityEnabled(const char* id) {
    return SetWord(128, 0x0003, id);
}

Machine& Machine::AddDriveFault(const nlohmann::json& rule, const char* id) {
    NorrixDrive(id)["faults"].push_back(rule);
    return *this;
}

Machine& Machine::AddControllerFault(const nlohmann::json& rule) {
    m_machine.at("controllers").at(0)["faults"].push_back(rule);
    return *this;
}

Machine& Machine::AddIoctlFault(const nlohmann::json& rule) {
    for (auto& disk : m_machine.at("disks")) {
        if (disk.at("drive") == kNorrixDrive) {
            disk["ioctl_faults"].push_back(rule);
            return *this;
        }
    }
    throw std::runtime_error("the default machine has no Norrix disk");
}

fwu_test::image_file NorrixRun::WriteImage(const std::string& name, std::size_t size,
                                           std::uint32_t seed) {
    return fwu_test::write_image(m_dir / name, size, seed);
}

fwu_test::run_result NorrixRun::Run(const std::vector<std::string>& arguments,
                                    const Machine* machine) {
    const auto program = fwu_test::program_path("norrixupdater");
    EXPECT_FALSE(program.empty()) << "this build has no norrixupdater";
    fwu_test::run_options options;
    options.working_dir = m_dir.path();
    if (machine != nullptr) {
        options.machine_json = machine->Json();
    }
    auto result = fwu_test::run(program, arguments, options);
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.err, "");
    return result;
}

std::vector<nlohmann::json> DownloadCommands(const fwu_test::run_result& result) {
    std::vector<nlohmann::json> commands;
    for (const auto& ata : result.ata_commands()) {
        if (ata.at("command") == 0x92) {
            commands.push_back(ata);
        }
    }
    return commands;
}

int BlockCount(const nlohmann::json& ata) {
    return ata.at("count").get<int>() | ata.at("lba_low").get<int>() << 8;
}

int BlockOffset(const nlohmann::json& ata) {
    return ata.at("lba_mid").get<int>() | ata.at("lba_high").get<int>() << 8;
}

} // namespace norrix_test
