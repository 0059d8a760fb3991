// Drivers and drives that answer garbage: each program must end with a code of its own
// table, never crash, never trip the sanitizers, and never claim success for an image the
// drive did not get whole.
#include <fwu_test_support.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace hardening_test {
namespace {

using edit = std::function<void(nlohmann::json&)>;

struct hostile_case {
    std::string name;
    std::string program;
    std::vector<std::string> arguments;
    std::string drive; // the drive the image goes to
    edit change;
    int expected = -1; // the code the table gives, where only one fits; -1: any of the table
};

void PrintTo(const hostile_case& c, std::ostream* os) {
    *os << c.name;
}

const std::set<int>& table_codes(const std::string& program) {
    static const std::set<int> skelder{0, 1, 2, 4, 5, 6, 8, 9, 10};
    static const std::set<int> norrix{0, 1, 2, 3, 4, 5, 6, 7, 8};
    static const std::set<int> marlisk{0, 2, 3, 4, 5, 6, 8, 30, 31, 32, 33};
    return program == "skelder" ? skelder : program == "marlisk" ? marlisk : norrix;
}

nlohmann::json& by_key(nlohmann::json& list, const char* key, const std::string& value) {
    for (auto& entry : list) {
        if (entry.value(key, "") == value) {
            return entry;
        }
    }
    throw std::runtime_error("no entry with " + std::string(key) + " " + value);
}

nlohmann::json& drive(nlohmann::json& machine, const std::string& id) {
    return by_key(machine.at("drives"), "id", id);
}

nlohmann::json& disk(nlohmann::json& machine, const std::string& id) {
    return by_key(machine.at("disks"), "drive", id);
}

nlohmann::json& controller(nlohmann::json& machine) {
    return machine.at("controllers").at(0);
}

// IDENTIFY data of 0xFF bytes only, without a checksum (model text kept, if asked).
edit identify_all_ff(const std::string& id, bool keep_model = false) {
    return [id, keep_model](nlohmann::json& machine) {
        auto& identify = drive(machine, id)["identify"];
        nlohmann::json words = nlohmann::json::object();
        for (int word = 0; word < 256; ++word) {
            if (!keep_model || word < 27 || word > 46) {
                words[std::to_string(word)] = 0xFFFF;
            }
        }
        identify["words"] = words;
        identify["checksum"] = false;
    };
}

edit disk_setting(const std::string& id, const char* key, nlohmann::json value) {
    return [id, key, value](nlohmann::json& machine) { disk(machine, id)[key] = value; };
}

edit controller_setting(const char* key, nlohmann::json value) {
    return [key, value](nlohmann::json& machine) { controller(machine)[key] = value; };
}

edit controller_fault(nlohmann::json rule) {
    return [rule](nlohmann::json& machine) { controller(machine)["faults"].push_back(rule); };
}

// A driver that leaves the STP status part zero, and a drive that aborts its third download
// command there: only the status FIS could have told.
edit status_part_left_zero(const std::string& id) {
    return [id](nlohmann::json& machine) {
        controller(machine)["returns_status_fis"] = false;
        drive(machine, id)["faults"].push_back({{"command", 0x92}, {"nth", 3}});
    };
}

std::vector<hostile_case> skelder_cases() {
    const std::string scsi = R"(\\.\PhysicalDrive0)";
    const std::string ata = R"(/T:\\.\PhysicalDrive0)";
    const std::string phy = R"(/C:\\.\SCSI2:0)";
    const std::string address = "/C:2,0000000500000000";
    const std::string pd0 = "pd0-halvern";
    const std::string csmi = "scsi2-phy0-halvern";
    const std::vector<std::string> update = {"/D:fw.bin", "/s", "/g", "1", "/v"};
    auto with = [&](const std::string& device, std::vector<std::string> rest) {
        rest.insert(rest.begin(), device);
        return rest;
    };
    std::vector<hostile_case> cases = {
        {"skelder_scsi_identify_all_ff", "skelder", with(scsi, update), pd0, identify_all_ff(pd0)},
        {"skelder_scsi_identify_all_ff_info",
         "skelder",
         {scsi, "/i", "/v"},
         pd0,
         identify_all_ff(pd0)},
        {"skelder_ata_identify_all_ff", "skelder", with(ata, update), pd0, identify_all_ff(pd0)},
        {"skelder_csmi_identify_all_ff", "skelder", with(phy, update), csmi, identify_all_ff(csmi)},
        {"skelder_serial_page_length_65535", "skelder", with(scsi, update), pd0,
         [pd0](nlohmann::json& m) { drive(m, pd0)["scsi"]["serial_page_length"] = 65535; }},
        {"skelder_serial_page_length_65535_info",
         "skelder",
         {scsi, "/i", "/v"},
         pd0,
         [pd0](nlohmann::json& m) { drive(m, pd0)["scsi"]["serial_page_length"] = 65535; }},
        {"skelder_scsi_transfer_length_4gib", "skelder", with(scsi, update), pd0,
         disk_setting(pd0, "reply_transfer_length", 0xFFFFFFFFu)},
        {"skelder_scsi_transfer_length_4096", "skelder", with(scsi, update), pd0,
         disk_setting(pd0, "reply_transfer_length", 4096)},
        {"skelder_ata_transfer_length_4gib", "skelder", with(ata, update), pd0,
         disk_setting(pd0, "reply_transfer_length", 0xFFFFFFFFu)},
        {"skelder_ata_transfer_length_4096", "skelder", with(ata, update), pd0,
         disk_setting(pd0, "reply_transfer_length", 4096)},
        // A SAT layer without ATA PASS-THROUGH: the route is not supported.
        {"skelder_scsi_sat_layer_none", "skelder", with(scsi, update), pd0,
         disk_setting(pd0, "sat_layer", "none"), 9},
        {"skelder_csmi_data_bytes_4gib", "skelder", with(phy, update), csmi,
         controller_setting("stp_data_bytes", 0xFFFFFFFFu)},
        {"skelder_csmi_stp_return_code_odd", "skelder", with(phy, update), csmi,
         controller_fault({{"request", "stp"}, {"return_code", 0xFFFFFFFFu}})},
        {"skelder_csmi_phy_info_return_code_odd", "skelder", with(address, update), csmi,
         controller_fault({{"request", "phy_info"}, {"return_code", 0x7FFFFFFF}})},
        {"skelder_scan_driver_info_return_code_odd",
         "skelder",
         {"--scan", "/v"},
         csmi,
         controller_fault({{"request", "driver_info"}, {"return_code", 0xFFFFFFFFu}})},
        {"skelder_scan_phy_count_255",
         "skelder",
         {"--scan", "/v"},
         csmi,
         controller_setting("number_of_phys", 255)},
    };
    for (int seed = 1; seed <= 3; ++seed) {
        const auto noise = controller_setting("phy_noise", seed);
        const auto n = std::to_string(seed);
        cases.push_back(
            {"skelder_phy_noise_" + n + "_by_phy", "skelder", with(phy, update), csmi, noise});
        cases.push_back({"skelder_phy_noise_" + n + "_by_address", "skelder", with(address, update),
                         csmi, noise});
        cases.push_back(
            {"skelder_phy_noise_" + n + "_scan", "skelder", {"--scan", "/vv"}, csmi, noise});
    }
    return cases;
}

std::vector<hostile_case> norrix_cases() {
    const std::string sata = R"(/T:\\.\PhysicalDrive2)";
    const std::string csmi = "/C:2,0000000500000002";
    const std::string pd2 = "pd2-norrix";
    const std::string phy2 = "scsi2-phy2-norrix";
    return {
        {"norrix_sata_identify_all_ff",
         "norrixupdater",
         {sata, "/D:fw.bin", "/V"},
         pd2,
         identify_all_ff(pd2),
         6},
        {"norrix_csmi_identify_all_ff",
         "norrixupdater",
         {csmi, "/D:fw.bin", "/V"},
         phy2,
         identify_all_ff(phy2),
         6},
        {"norrix_sata_transfer_length_4gib",
         "norrixupdater",
         {sata, "/D:fw.bin", "/V"},
         pd2,
         disk_setting(pd2, "reply_transfer_length", 0xFFFFFFFFu)},
        {"norrix_sata_transfer_length_4096",
         "norrixupdater",
         {sata, "/D:fw.bin", "/V"},
         pd2,
         disk_setting(pd2, "reply_transfer_length", 4096)},
        {"norrix_csmi_data_bytes_4gib",
         "norrixupdater",
         {csmi, "/D:fw.bin", "/V"},
         phy2,
         controller_setting("stp_data_bytes", 0xFFFFFFFFu)},
        {"norrix_csmi_stp_return_code_odd",
         "norrixupdater",
         {csmi, "/D:fw.bin", "/V"},
         phy2,
         controller_fault({{"request", "stp"}, {"return_code", 0xFFFFFFFFu}})},
        // No status back: the aborted third chunk must not look received.
        {"norrix_csmi_status_part_left_zero",
         "norrixupdater",
         {csmi, "/D:fw.bin", "/V"},
         phy2,
         status_part_left_zero(phy2),
         5},
        {"norrix_csmi_phy_noise",
         "norrixupdater",
         {csmi, "/D:fw.bin", "/V"},
         phy2,
         controller_setting("phy_noise", 7)},
    };
}

std::vector<hostile_case> marlisk_cases() {
    const std::string path = "/t:\\\\?\\scsi#disk&ven_dravoni&prod_kx2000#4&2f3b1c0&0&010000#"
                             "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
    const std::string csmi = "/c:1,0000000500000001";
    const std::string pd1 = "pd1-dravoni";
    const std::string phy1 = "scsi2-phy1-dravoni";
    const std::vector<std::string> rest = {"/d:fw.bin", "/r:0", "/l"};
    auto with = [&](const std::string& target) {
        auto arguments = rest;
        arguments.insert(arguments.begin(), target);
        return arguments;
    };
    return {
        {"marlisk_adapter_descriptor_size_0", "marlisk", with(path), pd1,
         disk_setting(pd1, "adapter_descriptor_size", 0)},
        {"marlisk_adapter_descriptor_size_4gib", "marlisk", with(path), pd1,
         disk_setting(pd1, "adapter_descriptor_size", 0xFFFFFFFFu), 33},
        {"marlisk_ata_identify_all_ff", "marlisk", with(path), pd1, identify_all_ff(pd1), 2},
        {"marlisk_ata_identify_all_ff_but_model", "marlisk", with(path), pd1,
         identify_all_ff(pd1, true), 6},
        {"marlisk_csmi_identify_all_ff", "marlisk", with(csmi), phy1, identify_all_ff(phy1), 2},
        {"marlisk_csmi_identify_all_ff_but_model", "marlisk", with(csmi), phy1,
         identify_all_ff(phy1, true), 6},
        {"marlisk_ata_transfer_length_4gib", "marlisk", with(path), pd1,
         disk_setting(pd1, "reply_transfer_length", 0xFFFFFFFFu)},
        {"marlisk_ata_transfer_length_4096", "marlisk", with(path), pd1,
         disk_setting(pd1, "reply_transfer_length", 4096)},
        {"marlisk_raid_drive_count_255", "marlisk", with(csmi), phy1,
         controller_setting("raid_drive_count", 255)},
        {"marlisk_csmi_status_part_left_zero", "marlisk", with(csmi), phy1,
         status_part_left_zero(phy1), 5},
        {"marlisk_csmi_phy_noise", "marlisk", with(csmi), phy1, controller_setting("phy_noise", 5)},
        {"marlisk_csmi_data_bytes_4gib", "marlisk", with(csmi), phy1,
         controller_setting("stp_data_bytes", 0xFFFFFFFFu)},
        {"marlisk_csmi_stp_return_code_odd", "marlisk", with(csmi), phy1,
         controller_fault({{"request", "stp"}, {"return_code", 0xFFFFFFFFu}})},
        {"marlisk_raid_config_return_code_odd", "marlisk", with(csmi), phy1,
         controller_fault({{"request", "raid_config"}, {"return_code", 0x7FFFFFFF}})},
    };
}

std::vector<hostile_case> all_cases() {
    std::vector<hostile_case> cases;
    for (const char* program : {"skelder", "norrixupdater", "marlisk"}) {
        if (fwu_test::program_path(program).empty()) {
            continue;
        }
        const auto more = std::string(program) == "skelder"   ? skelder_cases()
                          : std::string(program) == "marlisk" ? marlisk_cases()
                                                              : norrix_cases();
        cases.insert(cases.end(), more.begin(), more.end());
    }
    return cases;
}

class HostileReplies : public testing::TestWithParam<hostile_case> {};

TEST_P(HostileReplies, EndWithAnOrderlyCodeAndNoClaimForAPartialImage) {
    const auto& c = GetParam();
    fwu_test::temp_dir dir;
    // 20 blocks: a few commands on every route.
    const auto image = fwu_test::write_image(dir / "fw.bin", 20 * 512);
    auto machine = fwu_test::default_machine();
    drive(machine, c.drive)["microcode"]["expected_length"] = image.bytes.size();
    c.change(machine);

    fwu_test::run_options options;
    options.working_dir = dir.path();
    options.machine_json = machine.dump();
    options.env.emplace_back("WINSIM_MUTEX_DIR", (dir / "mutexes").string());
    const auto result = fwu_test::run(fwu_test::program_path(c.program), c.arguments, options);
    SCOPED_TRACE(result.out);
    RecordProperty("exit_code", result.exit_code);

    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.err.find("Sanitizer"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("runtime error"), std::string::npos) << result.err;
    EXPECT_TRUE(table_codes(c.program).count(result.exit_code) == 1)
        << "exit code " << result.exit_code << "\n"
        << result.err;
    if (c.expected >= 0) {
        EXPECT_EQ(result.exit_code, c.expected);
    }
    ASSERT_FALSE(result.exit_record().is_null()) << "the process ended without its exit record";
    if (result.exit_code == 0 && !result.calls("ata").empty()) {
        bool downloaded = false;
        for (const auto& ata : result.ata_commands()) {
            downloaded = downloaded || ata.value("command", 0) == 0x92;
        }
        if (downloaded) {
            const auto state = result.drive_state(c.drive);
            EXPECT_EQ(state.at("sha256"), image.sha256) << "success claimed for another image";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileReplies, testing::ValuesIn(all_cases()),
                         [](const auto& param_info) { return param_info.param.name; });

} // namespace
} // namespace hardening_test
