// The application: command line, single instance, controller gate, image lookup, target
// choice, log file and exit codes.
#include "marlisk_run.h"

#include <gtest/gtest.h>

#include <thread>

using namespace marlisk_test;

namespace {

const std::string kBadCommandLine = "### ERROR!! <IDS_ERR_PARAMETER> ###\nExitCode = 8\n";

void set_controller(marlisk_run& m, const std::string& description) {
    m.edit_machine([&description](nlohmann::json& machine) {
        machine["setup_devices"] =
            nlohmann::json::array({{{"class", "hdc"},
                                    {"class_guid", "{4d36e96a-e325-11ce-bfc1-08002be10318}"},
                                    {"description", description}}});
    });
}

} // namespace

TEST(MarliskCommandLine, RunsWithoutATargetEndWith8AndSendNothing) {
    const std::vector<std::vector<std::string>> cases = {{},
                                                         {"/l"},
                                                         {"/d:fw.bin", "/r:3"},
                                                         {"/t:" + kDravoniPath, "/x"},
                                                         {"/t:" + kDravoniPath, "t"}};
    for (const auto& arguments : cases) {
        marlisk_run m;
        m.image("fw.bin", 1024);
        const auto result = m.run(arguments);
        EXPECT_EQ(result.exit_code, 8) << ::testing::PrintToString(arguments);
        EXPECT_TRUE(downloads(result).empty());
        EXPECT_FALSE(m.log_exists());
    }
}

TEST(MarliskCommandLine, AnInvalidLineAfterLGoesToTheStandardOutput) {
    marlisk_run m;
    auto result = m.run({"/l", "/x"});
    EXPECT_EQ(result.exit_code, 8);
    EXPECT_EQ(result.out, kBadCommandLine);
    EXPECT_FALSE(m.log_exists());

    // Before "/l" was read nothing is written.
    result = m.run({"/x", "/l"});
    EXPECT_EQ(result.exit_code, 8);
    EXPECT_EQ(result.out, "");
}

TEST(MarliskCommandLine, ATargetOrImageNameTooLongForItsBufferEndsWith8) {
    marlisk_run m;
    m.image("fw.bin", 1024);
    const std::string long_name(260, 'a');
    EXPECT_EQ(m.run({"/t:" + long_name, "/d:fw.bin"}).exit_code, 8);
    EXPECT_EQ(m.run({"/t:" + kDravoniPath, "/d:" + long_name}).exit_code, 8);
    // 259 characters fit: the run goes on and finds no such drive.
    EXPECT_EQ(m.run({"/t:" + long_name.substr(1), "/d:fw.bin"}).exit_code, 2);
}

// Opening the log empties it, so an image that is the log file is refused before either is
// written, whatever way its name reaches that file (a hard link, a linked folder); another file
// of that name is not refused.
TEST(MarliskCommandLine, AnImageThatIsTheLogFileEndsWith8BeforeEitherIsWritten) {
    struct log_case {
        std::string image;
        std::string log_option;
        bool present;   // the file exists before the run
        bool hard_link; // stored as fw.bin, and the log is a second name of it
    };
    const log_case cases[] = {{"FwUpdateTool.log", "/l", true, false},
                              {"fwupdatetool.LOG", "/L", true, false},
                              {".\\FwUpdateTool.log", "/l", true, false},
                              {"sub\\..\\FwUpdateTool.log", "/l", true, false},
                              {"FwUpdateTool.log", "/l", false, false},
                              {"fw.bin", "/l", true, true},
                              {"alias\\FwUpdateTool.log", "/l", true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.image + (c.present ? " present" : " absent"));
        marlisk_run m;
        std::filesystem::create_directory(m.dir / "sub");
        std::filesystem::create_directory_symlink(m.dir.path(), m.dir / "alias");
        const auto image = c.present ? m.image(c.hard_link ? "fw.bin" : "FwUpdateTool.log", 2048)
                                     : fwu_test::image_file{};
        if (c.hard_link) {
            std::filesystem::create_hard_link(image.path, m.dir / "FwUpdateTool.log");
        }
        const auto result = m.run({"/t:" + kDravoniPath, "/d:" + c.image, c.log_option});
        EXPECT_EQ(result.exit_code, 8);
        EXPECT_EQ(result.out, kBadCommandLine);
        EXPECT_TRUE(downloads(result).empty());
        EXPECT_EQ(m.log_exists(), c.present);
        EXPECT_EQ(m.log(), std::string(image.bytes.begin(), image.bytes.end()));
    }

    marlisk_run other;
    std::filesystem::create_directory(other.dir / "sub");
    const auto image = other.image("sub/FwUpdateTool.log", 2048);
    other.image("FwUpdateTool.log", 100, 2); // an earlier log, another file
    const auto result = other.run({"/t:" + kDravoniPath, "/d:sub\\FwUpdateTool.log", "/l"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.drive_state(kDravoniDrive).at("sha256"), image.sha256);
    EXPECT_EQ(other.log().rfind(kLogHeader, 0), 0u);
}

// Quote removal is held by the unit tests: a host argument vector cannot carry a raw quote
// through to the Windows command line.
TEST(MarliskCommandLine, OptionsTakeEitherLetterCase) {
    marlisk_run m;
    m.image("fw.bin", 1024);
    const auto result = m.run({"/T:" + kDravoniPath, "/D:fw.bin", "/Log", "/R:0"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(m.log(),
              kLogHeader + path_lines(kDravoniPath, kDravoniPath) + "FwUpdate Success.\r\n");
}

TEST(MarliskCommandLine, RetryCountsTakeAnyBase) {
    struct retry_case {
        std::string value;
        std::size_t attempts;
    };
    for (const auto& [value, attempts] :
         std::vector<retry_case>{{"0x2", 3}, {"010", 9}, {"abc", 1}, {"3", 4}, {"20000", 10001}}) {
        marlisk_run m;
        m.image("fw.bin", 512);
        m.edit_machine([](nlohmann::json& machine) {
            drive_of(machine, kDravoniDrive)["faults"] =
                nlohmann::json::array({{{"command", "0x92"}, {"times", 20000}}});
        });
        const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin", "/r:" + value});
        EXPECT_EQ(result.exit_code, 5);
        EXPECT_EQ(downloads(result).size(), attempts) << value;
    }
}

TEST(MarliskApplication, ASecondInstanceEndsWith3AtOnceAndWritesNoLog) {
    marlisk_run m;
    m.image("fw.bin", 1024);
    m.edit_machine([](nlohmann::json& machine) {
        machine["mutexes_held_elsewhere"] = {"DRAVONI HDD Firmware Update Tool"};
    });
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin", "/l"});
    EXPECT_EQ(result.exit_code, 3);
    EXPECT_FALSE(m.log_exists());
    EXPECT_TRUE(result.calls("SetupDiGetClassDevsW").empty());
}

TEST(MarliskApplication, ARunningInstanceKeepsASecondProcessOut) {
    marlisk_run first;
    first.image("fw.bin", 8 * 512);
    first.options.virtual_clock = false; // the first one really takes its time
    first.edit_machine(
        [](nlohmann::json& machine) { drive_of(machine, kDravoniDrive)["command_time_ms"] = 150; });
    fwu_test::run_result first_result;
    std::thread runner([&] { first_result = first.run({"/t:" + kDravoniPath, "/d:fw.bin"}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(700));

    marlisk_run second;
    second.options.env = first.options.env; // the same machine-wide mutexes
    second.image("fw.bin", 512);
    const auto started = std::chrono::steady_clock::now();
    const auto second_result = second.run({"/t:" + kDravoniPath, "/d:fw.bin", "/l"});
    const auto took = std::chrono::steady_clock::now() - started;
    runner.join();

    EXPECT_EQ(second_result.exit_code, 3);
    EXPECT_TRUE(downloads(second_result).empty());
    EXPECT_FALSE(second.log_exists());
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    EXPECT_EQ(first_result.exit_code, 0);

    // Once the first has ended, the name is free again.
    const auto third = second.run({"/t:" + kDravoniPath, "/d:fw.bin"});
    EXPECT_EQ(third.exit_code, 0);
}

TEST(MarliskApplication, AControllerNotInAhciOrRaidModeEndsWith3) {
    marlisk_run m;
    m.image("fw.bin", 1024);
    set_controller(m, "Standard Dual Channel PCI IDE Controller");
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin", "/l"});
    EXPECT_EQ(result.exit_code, 3);
    EXPECT_TRUE(downloads(result).empty());
    EXPECT_EQ(m.log(), kLogHeader + "### ERROR!! <IDS_CHANGE_SATAMODE> ###\r\nExitCode = 3\r\n");
}

TEST(MarliskApplication, WindowsPeSkipsTheControllerGateInEitherLetterCase) {
    for (const std::string drive : {"X:", "x:"}) {
        marlisk_run m;
        m.image("fw.bin", 1024);
        set_controller(m, "Standard Dual Channel PCI IDE Controller");
        m.options.env.emplace_back("SystemDrive", drive);
        const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin"});
        EXPECT_EQ(result.exit_code, 0) << drive;
        EXPECT_TRUE(result.calls("SetupDiEnumDeviceInfo").empty());
    }
    marlisk_run m;
    m.image("fw.bin", 1024);
    set_controller(m, "Standard Dual Channel PCI IDE Controller");
    m.options.env.emplace_back("SystemDrive", "C:");
    EXPECT_EQ(m.run({"/t:" + kDravoniPath, "/d:fw.bin"}).exit_code, 3);
}

TEST(MarliskApplication, ControllerDescriptionsThatPassTheGate) {
    for (const std::string description :
         {"Standard SATA AHCI Controller", "Intel(R) 8 Series SATA AHCI Controller",
          "Intel(R) Desktop/Workstation/Server Express Chipset SATA RAID Controller",
          "NVIDIA nForce RAID Controller", "NVIDIA nForce Serial ATA AHCI Controller",
          "\xE6\xA8\x99\xE6\xBA\x96 SATA AHCI \xE3\x82\xB3\xE3\x83\xB3\xE3\x83\x88\xE3\x83\xAD"
          "\xE3\x83\xBC\xE3\x83\xA9\xE3\x83\xBC"}) {
        marlisk_run m;
        m.image("fw.bin", 512);
        set_controller(m, description);
        EXPECT_EQ(m.run({"/t:" + kDravoniPath, "/d:fw.bin"}).exit_code, 0) << description;
    }
    for (const std::string description :
         {"Standard SATA RAID Controller", "Intel(R) ICH8 SATA IDE Controller",
          "NVIDIA nForce Serial ATA Controller", "AMD SATA AHCI Controller",
          "standard SATA AHCI Controller"}) {
        marlisk_run m;
        m.image("fw.bin", 512);
        set_controller(m, description);
        EXPECT_EQ(m.run({"/t:" + kDravoniPath, "/d:fw.bin"}).exit_code, 3) << description;
    }
}

TEST(MarliskApplication, AMissingImageEndsWith4) {
    marlisk_run m;
    const auto result = m.run({"/t:" + kDravoniPath, "/d:missing.bin", "/l"});
    EXPECT_EQ(result.exit_code, 4);
    EXPECT_EQ(m.log(),
              kLogHeader + "### ERROR!! <IDS_ERR_FIRMFILENOTFOUND> ###\r\nExitCode = 4\r\n");
    EXPECT_TRUE(result.calls("SetupDiGetDeviceInterfaceDetailW").empty());
}

TEST(MarliskApplication, NoEligibleDriveEndsWith2) {
    marlisk_run m;
    m.image("fw.bin", 1024);
    m.edit_machine([](nlohmann::json& machine) {
        drive_of(machine, kDravoniDrive)["identify"]["model"] = "HALVERN HT2000";
    });
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin", "/l"});
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(m.log(), kLogHeader + "### ERROR!! <IDS_NOT_CONNECTED> ###\r\nExitCode = 2\r\n");
}

TEST(MarliskApplication, ATargetThatDiffersInLetterCaseIsNotFound) {
    marlisk_run m;
    m.image("fw.bin", 1024);
    std::string upper = kDravoniPath;
    upper[4] = 'S'; // "\\?\Scsi#..."
    const auto result = m.run({"/t:" + upper, "/d:fw.bin", "/l"});
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_TRUE(downloads(result).empty());
    EXPECT_EQ(m.log(), kLogHeader + path_lines(kDravoniPath, upper) +
                           "### ERROR!! <UPDATE_DEVICE_NOT_FOUND> ###\r\nExitCode = 2\r\n"
                           "FwUpdate Fail!!\r\n");
}

TEST(MarliskApplication, ADriveWithAPasswordSetEndsWith6) {
    marlisk_run m;
    m.image("fw.bin", 1024);
    m.edit_machine([](nlohmann::json& machine) {
        drive_of(machine, kDravoniDrive)["identify"]["words"]["128"] = "0x0003";
    });
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin", "/l"});
    EXPECT_EQ(result.exit_code, 6);
    EXPECT_TRUE(downloads(result).empty());
    EXPECT_EQ(m.log(), kLogHeader + path_lines(kDravoniPath, kDravoniPath) +
                           "### ERROR!! <IDS_SECURITY_ENABLE> ###\r\nExitCode = 6\r\n"
                           "FwUpdate Fail!!\r\n");
}

TEST(MarliskApplication, EveryDriveExaminedBeforeTheTargetIsLogged) {
    marlisk_run m;
    m.image("fw.bin", 512);
    m.edit_machine([](nlohmann::json& machine) {
        // The Halvern drive becomes a Dravoni one too, listed first.
        drive_of(machine, "pd0-halvern")["identify"]["model"] = "DRAVONI KX1000";
    });
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin", "/l"});
    EXPECT_EQ(result.exit_code, 0);
    const std::string halvern_path = "\\\\?\\scsi#disk&ven_halvern&prod_ht1000#4&2f3b1c0&0&000000#"
                                     "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
    EXPECT_EQ(m.log(), kLogHeader + path_lines(halvern_path, kDravoniPath) +
                           path_lines(kDravoniPath, kDravoniPath) + "FwUpdate Success.\r\n");
    for (const auto& command : downloads(result)) {
        EXPECT_EQ(command.at("drive"), kDravoniDrive);
    }
}

TEST(MarliskApplication, ALogThatCannotBeCreatedTurnsLoggingOff) {
    marlisk_run m;
    m.image("fw.bin", 512);
    std::filesystem::create_directory(m.dir / "FwUpdateTool.log");
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin", "/l"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(downloads(result).size(), 1u);
}
