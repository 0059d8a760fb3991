// The process as a whole, run through the test support: the exit record carries the
// real status whether main returns or exit() is called, the virtual clock counts
// Sleep, and arguments arrive as given.
#include <fwu_test_support.h>

#include <gtest/gtest.h>

namespace {

const std::filesystem::path probe = FWU_EXIT_PROBE;

TEST(ProcessExit, TheExitRecordHoldsTheStatusOfAReturnFromMain) {
    const auto result = fwu_test::run(probe, {"return", "6"});
    EXPECT_EQ(result.exit_code, 6);
    const auto exit = result.exit_record();
    ASSERT_FALSE(exit.is_null());
    EXPECT_EQ(exit["code"], 6);
    EXPECT_EQ(exit["virtual_ms"], 1500);
    EXPECT_EQ(result.calls("Sleep").at(0)["ms"], 1500);
    EXPECT_EQ(result.drive_state("pd0-halvern")["firmware"], "HT10A001");
}

TEST(ProcessExit, TheExitRecordHoldsTheStatusGivenToExit) {
    const auto result = fwu_test::run(probe, {"exit", "9"});
    EXPECT_EQ(result.exit_code, 9);
    EXPECT_EQ(result.exit_record()["code"], 9);
}

TEST(ProcessExit, ArgumentsReachTheProgramUnchangedThroughTheWindowsCommandLine) {
    const auto result = fwu_test::run(probe, {"return", "0", "two words", R"(\\.\PhysicalDrive0)",
                                              R"(quote"inside)", R"(ends\)", ""});
    EXPECT_EQ(result.out, "[return]\n[0]\n[two words]\n[\\\\.\\PhysicalDrive0]\n[quote\"inside]\n"
                          "[ends\\]\n[]\n");
}

// Started with standard output and error closed, the program's output goes nowhere, as on
// Windows: not into the trace, which would otherwise have taken descriptor 1.
TEST(ProcessExit, AProgramStartedWithItsStandardOutputClosedWritesNothingToTheTrace) {
    fwu_test::run_options options;
    options.standard_output_closed = true;
    const auto result = fwu_test::run(probe, {"exit", "3", "probe output"}, options);
    EXPECT_EQ(result.exit_code, 3);
    EXPECT_EQ(result.exit_record()["code"], 3);
    for (const auto& record : result.trace) {
        EXPECT_TRUE(record.is_object() && record.contains("call")) << record.dump();
    }
}

// A machine that cannot be built stops the program at its first device call with the reason;
// so does a fault rule that would change nothing a caller can see, named where it stands.
TEST(ProcessExit, ABadMachineDescriptionStopsTheProgramWithItsReason) {
    const std::string drive = R"({"id": "x"})";
    const std::string disk = R"({"names": ["\\\\.\\PhysicalDrive0"], "drive": "x")";
    struct bad_machine {
        std::string json;
        std::string reason;
    };
    const bad_machine cases[] = {
        {R"({"drives": [{"id": "x"}], "disks": [{"drive": "missing"}]})", "unknown drive"},
        {R"({"drives": [{"id": "x", "faults": [{"command": "0xEC"},
                                                  {"command": "0xEC", "status": "0x58"}]}]})",
         R"(drive "x" faults[1] {"command":"0xEC","status":"0x58"} changes nothing)"},
        {R"({"drives": [{"id": "x", "faults": [{"status": "0x51", "data": "all"}]}]})",
         R"("data" can only be "none")"},
        {R"({"drives": [)" + drive + "], \"disks\": [" + disk +
             R"(, "scsi_faults": [{"scsi_status": 0}]}]})",
         R"(PhysicalDrive0" scsi_faults[0] {"scsi_status":0} changes nothing)"},
        {R"({"drives": [)" + drive + "], \"disks\": [" + disk +
             R"(, "ioctl_faults": [{"ioctl": "0x4D030", "error": 0}]}]})",
         R"(PhysicalDrive0" ioctl_faults[0] {"error":0,"ioctl":"0x4D030"} changes nothing)"},
        {R"({"controllers": [{"number": 2, "faults": [{"request": "stp", "nth": 2}]}]})",
         R"(controller 2 faults[0] {"nth":2,"request":"stp"} changes nothing)"},
        {R"({"controllers": [{"number": 2, "faults": [{"request": "phy_info",
                                                        "connection_status": 4}]}]})",
         R"(controller 2 faults[0] {"connection_status":4,"request":"phy_info"} changes nothing)"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        fwu_test::run_options options;
        options.machine_json = c.json;
        options.expect_exit_record = false; // the machine never came up
        const auto result = fwu_test::run(probe, {"return", "0"}, options);
        EXPECT_EQ(result.exit_code, 70);
        EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
    }
}

} // namespace
