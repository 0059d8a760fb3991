// capture-machine on every example machine: the capture describes the machine as far as a
// capture can see it (docs/capture-machine.md, "What a capture holds"), the programs meet the
// capture as they meet the machine, and the capture only reads.
#include <fwu_test_support.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

using nlohmann::json;

const std::filesystem::path kExampleDir = std::filesystem::path(FWU_SOURCE_DIR) / "examples";

struct example_case {
    const char* machine;
    // Every difference from the default machine is one a capture sees, so the programs must
    // meet the capture as they meet the example.
    bool capturable;
};

// clang-format off
const example_case kExamples[] = {
    {"default-machine.json", true},
    {"locked-drives.json", true},
    {"ide-mode-controller.json", true},
    {"winpe-adapter.json", true},
    {"sat-without-ck-cond.json", true},
    {"driver-answers-50.json", true},
    {"third-download-fails.json", false},      // drive fault rules
    {"busy-drives.json", false},               // drive fault rules
    {"another-copy-running.json", false},      // another process's mutex
    {"strict-sat.json", false},                // a SAT layer's strictness
    {"csmi-timeout-zero-expires.json", false}, // what a driver does with Timeout 0
};
// clang-format on

void PrintTo(const example_case& example, std::ostream* out) {
    *out << example.machine;
}

// Fields of a machine description no query shows (docs/capture-machine.md).
// clang-format off
const std::set<std::string> kNotCaptured = {
    "mutexes_held_elsewhere", "dos_drives", "file_events", "expected_length",
    "firmware_after_activation", "command_time_ms", "activation_time_ms", "faults",
    "serial_page_length", "sat_strict", "in_use_elsewhere", "ioctl_faults", "scsi_faults",
    "adapter_descriptor_size", "reply_transfer_length", "expires_timeout_zero", "phy_noise",
    "raid_drive_count", "stp_data_bytes"};
// clang-format on
// The control codes a capture sends to a disk: only their refusals can be seen.
const std::set<std::uint64_t> kCodesSent = {0x2D1400, 0x2D1080, 0x41018, 0x4D014,
                                            0x4D004,  0x4D030,  0x4D02C, 0x7C088};

std::optional<std::uint64_t> number_of(const json& value) {
    if (value.is_number_unsigned() || value.is_number_integer()) {
        return value.get<std::uint64_t>();
    }
    if (!value.is_string()) {
        return std::nullopt;
    }
    const auto text = value.get<std::string>();
    try {
        std::size_t used = 0;
        const auto number = std::stoull(text, &used, 0);
        if (used == text.size()) {
            return number;
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

// Every field the example states and a capture can see must be in the capture, equal:
// numbers by value, drives through the disks and phys that reach them, lists of devices by
// their names or numbers.
class stated_fields {
public:
    stated_fields(const json& example, const json& capture)
        : example_(example), capture_(capture) {}

    void check() { compare(example_, capture_, ""); }

private:
    const json& example_;
    const json& capture_;

    static const json& drive(const json& machine, const json& id) {
        for (const auto& each : machine.at("drives")) {
            if (each.at("id") == id) {
                return each;
            }
        }
        static const json none;
        return none;
    }

    static std::string key_of(const json& item, const std::string& list) {
        if (list == "disks") {
            return item.at("names").at(0).get<std::string>();
        }
        if (list == "controllers") {
            return item.at("number").dump();
        }
        if (list == "phys") {
            return item.at("phy").dump();
        }
        if (list == "raid_sets") {
            return item.value("index", json(0)).dump();
        }
        if (list == "logs") {
            return std::to_string(number_of(item.at("address")).value_or(0)) + "/" +
                   std::to_string(number_of(item.at("page")).value_or(0));
        }
        return {};
    }

    static bool kept_setup_class(const json& device) {
        const auto name = device.value("class", std::string());
        return name.rfind("hd", 0) == 0 || name == "SCSIAdapter" || name == "DiskDrive";
    }

    void compare_list(const json& stated, const json& captured, const std::string& where,
                      const std::string& list) {
        ASSERT_TRUE(captured.is_array()) << where;
        if (list == "setup_devices") {
            json kept = json::array();
            for (const auto& device : stated) {
                if (kept_setup_class(device)) {
                    kept.push_back(device);
                }
            }
            ASSERT_EQ(kept.size(), captured.size()) << where;
            for (std::size_t i = 0; i < kept.size(); ++i) {
                compare(kept[i], captured[i], where + "[" + std::to_string(i) + "]");
            }
            return;
        }
        if (list == "refuse") {
            std::set<std::pair<std::uint64_t, std::uint64_t>> seen, expected;
            for (const auto& rule : stated) {
                const auto code = number_of(rule.at("ioctl")).value_or(0);
                if (kCodesSent.contains(code)) {
                    expected.emplace(code, number_of(rule.value("error", json(1))).value_or(0));
                }
            }
            for (const auto& rule : captured) {
                seen.emplace(number_of(rule.at("ioctl")).value_or(0),
                             number_of(rule.at("error")).value_or(0));
            }
            EXPECT_EQ(seen, expected) << where;
            return;
        }
        if (list == "subcommands") {
            std::set<std::uint64_t> seen, expected;
            for (const auto& each : stated) {
                expected.insert(number_of(each).value_or(0));
            }
            for (const auto& each : captured) {
                seen.insert(number_of(each).value_or(0));
            }
            EXPECT_EQ(seen, expected) << where;
            return;
        }
        if (list == "drives") { // a RAID set's members
            ASSERT_EQ(stated.size(), captured.size()) << where;
            for (std::size_t i = 0; i < stated.size(); ++i) {
                compare(drive(example_, stated[i]), drive(capture_, captured[i]),
                        where + "[" + std::to_string(i) + "]");
            }
            return;
        }
        if (!stated.empty() && stated[0].is_object()) {
            for (const auto& item : stated) {
                const auto key = key_of(item, list);
                const auto found =
                    std::find_if(captured.begin(), captured.end(),
                                 [&](const json& c) { return key_of(c, list) == key; });
                ASSERT_NE(found, captured.end()) << where << " has no entry " << key;
                compare(item, *found, where + "[" + key + "]");
            }
            return;
        }
        ASSERT_EQ(stated.size(), captured.size()) << where;
        for (std::size_t i = 0; i < stated.size(); ++i) {
            compare(stated[i], captured[i], where + "[" + std::to_string(i) + "]");
        }
    }

    void compare(const json& stated, const json& captured, const std::string& where) {
        if (stated.is_object()) {
            ASSERT_TRUE(captured.is_object()) << where << " missing";
            for (const auto& [key, value] : stated.items()) {
                const auto at = where + "." + key;
                // Drives are compared where a disk or phy reaches them; ids are names only.
                if (kNotCaptured.contains(key) || key == "id" ||
                    (where.empty() && key == "drives")) {
                    continue;
                }
                if (key == "sat_layer") {
                    EXPECT_EQ(value == "none", captured.value("sat_layer", json()) == "none") << at;
                    continue;
                }
                ASSERT_TRUE(captured.contains(key)) << at << " missing from the capture";
                if (key == "drive") {
                    compare(drive(example_, value), drive(capture_, captured.at(key)), at);
                } else if (value.is_array()) {
                    compare_list(value, captured.at(key), at, key);
                } else {
                    compare(value, captured.at(key), at);
                }
            }
            return;
        }
        const auto stated_number = number_of(stated);
        const auto captured_number = number_of(captured);
        if (stated_number && captured_number) {
            EXPECT_EQ(*stated_number, *captured_number) << where;
        } else {
            EXPECT_EQ(stated, captured) << where;
        }
    }
};

struct capture_result {
    fwu_test::run_result run;
    json description;
};

capture_result capture(const std::filesystem::path& machine, const fwu_test::temp_dir& dir) {
    fwu_test::run_options options;
    options.machine_path = machine;
    options.working_dir = dir.path();
    capture_result result{fwu_test::run(fwu_test::program_path("capture-machine"), {}, options),
                          json()};
    EXPECT_EQ(result.run.exit_code, 0) << result.run.err;
    result.description = json::parse(result.run.out, nullptr, false);
    EXPECT_FALSE(result.description.is_discarded()) << result.run.out;
    return result;
}

// The description without the moment it was taken.
json timeless(json description) {
    description["capture"].erase("time");
    return description;
}

const std::string kDravoniPath = "\\\\?\\scsi#disk&ven_dravoni&prod_kx2000#4&2f3b1c0&0&010000#"
                                 "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";

struct program_run {
    const char* program;
    std::vector<std::string> arguments;
    std::size_t image_size;
};
// Each program's typical run (docs/dry-run-machines.md).
const program_run kRuns[] = {
    {"skelder", {"\\\\.\\PhysicalDrive0", "/D:fw.bin", "/s"}, 1 << 20},
    {"norrixupdater", {"/T:\\\\.\\PhysicalDrive2", "/D:fw.bin"}, 200000},
    {"marlisk", {"/t:" + kDravoniPath, "/d:fw.bin"}, 40000},
};

fwu_test::run_result run_program(const program_run& run, const std::filesystem::path& machine) {
    fwu_test::temp_dir dir;
    fwu_test::write_image(dir / "fw.bin", run.image_size);
    fwu_test::run_options options;
    options.machine_path = machine;
    options.working_dir = dir.path();
    options.env.emplace_back("WINSIM_MUTEX_DIR", (dir / "mutexes").string());
    return fwu_test::run(fwu_test::program_path(run.program), run.arguments, options);
}

// The ATA commands of a run, each naming the device that reached its drive (the disk's name or
// the SAS address its phy leads to) instead of the drive's id.
std::vector<json> commands_by_device(const fwu_test::run_result& result, const json& machine) {
    std::map<std::string, std::string> device_of;
    for (const auto& disk : machine.at("disks")) {
        device_of[disk.at("drive").get<std::string>()] = disk.at("names").at(0).get<std::string>();
    }
    for (const auto& controller : machine.at("controllers")) {
        for (const auto& phy : controller.at("phys")) {
            const auto attached = phy.value("attached", json::object());
            if (attached.contains("drive")) {
                device_of[attached.at("drive").get<std::string>()] =
                    attached.at("sas_address").get<std::string>();
            }
        }
    }
    std::vector<json> commands;
    for (auto command : result.ata_commands()) {
        command["drive"] = device_of[command.at("drive").get<std::string>()];
        commands.push_back(command);
    }
    return commands;
}

class CaptureOfExample : public testing::TestWithParam<example_case> {};

TEST_P(CaptureOfExample, DescribesTheMachineAsTheProgramsMeetIt) {
    const auto& example = GetParam();
    const auto machine_path = kExampleDir / example.machine;
    const auto machine = json::parse(std::ifstream(machine_path));
    fwu_test::temp_dir dir;
    const auto captured = capture(machine_path, dir);
    ASSERT_TRUE(captured.description.is_object());
    stated_fields(machine, captured.description).check();

    // The capture loads as a machine, and that machine answers every query as the example did.
    const auto capture_path = dir / "capture.json";
    std::ofstream(capture_path) << captured.run.out;
    const auto again = capture(capture_path, dir);
    EXPECT_EQ(timeless(again.description), timeless(captured.description));

    if (!example.capturable) {
        return;
    }
    for (const auto& run : kRuns) {
        SCOPED_TRACE(run.program);
        const auto on_example = run_program(run, machine_path);
        const auto on_capture = run_program(run, capture_path);
        EXPECT_EQ(on_capture.exit_code, on_example.exit_code) << on_capture.out;
        EXPECT_EQ(commands_by_device(on_capture, captured.description),
                  commands_by_device(on_example, machine));
    }
}

TEST_P(CaptureOfExample, SendsOnlyQueriesAndChangesNoDrive) {
    const auto machine_path = kExampleDir / GetParam().machine;
    const auto machine = json::parse(std::ifstream(machine_path));
    fwu_test::temp_dir dir;
    const auto captured = capture(machine_path, dir);
    const std::set<std::string> queries = {"0x2D1400", "0x2D1080", "0x41018", "0x4D004", "0x4D014",
                                           "0x4D02C",  "0x4D030",  "0x7C088", "0x4D008"};
    const std::set<int> csmi_queries = {1, 2, 10, 11, 20, 24, 25};
    for (const auto& open : captured.run.calls("CreateFileW")) {
        EXPECT_EQ(open.at("share").get<int>() & 3, 3) << "opened without sharing: " << open;
    }
    for (const auto& call : captured.run.calls("DeviceIoControl")) {
        EXPECT_TRUE(queries.contains(call.at("ioctl").get<std::string>())) << call;
        if (call.contains("csmi_code")) {
            EXPECT_TRUE(csmi_queries.contains(call.at("csmi_code").get<int>())) << call;
        }
        // SCSI commands: INQUIRY, or ATA PASS-THROUGH(16) (its ATA command is checked below).
        if (call.contains("cdb")) {
            const auto cdb = call.at("cdb").get<std::string>();
            EXPECT_TRUE(cdb.rfind("12 ", 0) == 0 || cdb.rfind("85 ", 0) == 0) << call;
        }
    }
    for (const auto& command : captured.run.ata_commands()) {
        const auto opcode = command.at("command").get<int>();
        EXPECT_TRUE(opcode == 0xEC || opcode == 0x2F) << command;
        EXPECT_EQ(command.at("dir"), "in") << command;
    }
    for (const auto& drive : machine.at("drives")) {
        const auto state = captured.run.drive_state(drive.at("id").get<std::string>());
        EXPECT_EQ(state.at("received"), 0) << state;
        EXPECT_EQ(state.at("activated"), 0) << state;
        EXPECT_EQ(state.at("interrupted"), 0) << state;
        EXPECT_EQ(state.at("firmware"), drive.at("identify").at("firmware")) << state;
    }
}

std::string case_name(const testing::TestParamInfo<example_case>& info) {
    std::string name = info.param.machine;
    for (auto& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) {
            ch = '_';
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Examples, CaptureOfExample, testing::ValuesIn(kExamples), case_name);

TEST(CaptureOfExamples, CoverEveryExampleMachine) {
    std::set<std::string> listed, present;
    for (const auto& example : kExamples) {
        listed.insert(example.machine);
    }
    for (const auto& file : std::filesystem::directory_iterator(kExampleDir)) {
        present.insert(file.path().filename().string());
    }
    EXPECT_EQ(listed, present);
}

TEST(CaptureRefusals, WithoutAdministratorRightsItReadsNothingAndSaysSo) {
    fwu_test::run_options options;
    options.elevated = false;
    const auto result = fwu_test::run(fwu_test::program_path("capture-machine"), {}, options);
    EXPECT_EQ(result.exit_code, 5);
    EXPECT_NE(result.err.find("administrator rights are needed"), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty()) << result.out;
    EXPECT_TRUE(result.calls("CreateFileW").empty());
}

TEST(CaptureRefusals, AMachineWithoutDevicesGivesAnEmptyDescription) {
    fwu_test::run_options options;
    options.machine_json = "{}";
    const auto result = fwu_test::run(fwu_test::program_path("capture-machine"), {}, options);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    const auto description = json::parse(result.out);
    for (const char* list : {"drives", "disks", "controllers", "setup_devices", "refusing"}) {
        EXPECT_EQ(description.at(list), json::array()) << list;
    }
}

TEST(CaptureRefusals, DevicesThatDoNotAnswerAreDescribedAsRefusing) {
    auto machine = fwu_test::default_machine();
    // PhysicalDrive0's driver refuses the address query; PhysicalDrive1 has no route that
    // carries IDENTIFY DEVICE; the controller's driver fails CSMI.
    machine["disks"][0]["refuse"] = json::array({{{"ioctl", "0x41018"}, {"error", 50}}});
    machine["disks"][1]["sat_layer"] = "none";
    machine["disks"][1]["refuse"] = json::array({{{"ioctl", "0x4D02C"}, {"error", 50}},
                                                 {{"ioctl", "0x4D030"}, {"error", 50}},
                                                 {{"ioctl", "0x7C088"}, {"error", 1}}});
    machine["controllers"][0]["faults"] = json::array({{{"request", "driver_info"}, {"error", 1}}});
    fwu_test::run_options options;
    options.machine_json = machine.dump();
    const auto result = fwu_test::run(fwu_test::program_path("capture-machine"), {}, options);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    const auto description = json::parse(result.out);
    EXPECT_EQ(description.at("disks").at(0).at("refuse"),
              json::array({{{"ioctl", "0x41018"}, {"error", 50}}}));
    std::map<std::string, json> refusing;
    for (const auto& device : description.at("refusing")) {
        refusing[device.at("name").get<std::string>()] = device;
    }
    // The disk interface of PhysicalDrive1 too: it leads to no disk the capture describes.
    ASSERT_EQ(refusing.size(), 3u) << description.at("refusing");
    EXPECT_EQ(refusing["\\\\.\\PhysicalDrive1"].at("request"), "IDENTIFY DEVICE");
    EXPECT_EQ(refusing["\\\\.\\PhysicalDrive1"].at("error"), 1);
    EXPECT_EQ(refusing["\\\\.\\SCSI2:"].at("request"), "CSMI driver information");
    EXPECT_EQ(refusing["\\\\.\\SCSI2:"].at("error"), 1);
    EXPECT_EQ(refusing[machine["disks"][1]["interface_path"].get<std::string>()].at("request"),
              "IOCTL_STORAGE_GET_DEVICE_NUMBER");
}

TEST(CaptureShareable, ReplacesEverySerialAndStillDescribesTheMachine) {
    const auto machine = fwu_test::default_machine();
    fwu_test::temp_dir dir;
    fwu_test::run_options options;
    options.working_dir = dir.path();
    const auto result = fwu_test::run(fwu_test::program_path("capture-machine"),
                                      {"/shareable", "/o:shared.json"}, options);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_TRUE(result.out.empty());
    std::ifstream in(dir / "shared.json");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const auto& drive : machine.at("drives")) {
        const auto serial = drive.at("identify").at("serial").get<std::string>();
        EXPECT_EQ(text.find(serial), std::string::npos) << serial;
    }
    EXPECT_EQ(text.find("SIMSAS000001"), std::string::npos);
    EXPECT_NE(text.find("5000c50000000004"), std::string::npos) << "SAS addresses stay";
    const auto description = json::parse(text);
    EXPECT_EQ(description.at("capture").at("shareable"), true);
    // One placeholder a serial, wherever it appears.
    const auto& drive = description.at("drives").at(0);
    auto scsi_serial = drive.at("scsi").at("serial").get<std::string>();
    scsi_serial.erase(scsi_serial.find_last_not_of(' ') + 1);
    EXPECT_EQ(drive.at("identify").at("serial"), scsi_serial);
    EXPECT_EQ(drive.at("identify").at("checksum"), true);
    // It loads, and the machine it describes answers as the capture says.
    const auto again = capture(dir / "shared.json", dir);
    EXPECT_EQ(again.description.at("drives"), description.at("drives"));
}

} // namespace
