// The process as a whole, run through the test support: the exit record carries the
// real status whether main returns or exit() is called, the virtual clock counts
// Sleep, and arguments arrive as given.
#include <fwu_test_support.h>

#include <gtest/gtest.h>

namespace {

const std::filesystem::path probe = FWU_EXIT_PROBE;

TEST(process_exit, the_exit_record_holds_the_status_of_a_return_from_main) {
    const auto result = fwu_test::run(probe, {"return", "6"});
    EXPECT_EQ(result.exit_code, 6);
    const auto exit = result.exit_record();
    ASSERT_FALSE(exit.is_null());
    EXPECT_EQ(exit["code"], 6);
    EXPECT_EQ(exit["virtual_ms"], 1500);
    EXPECT_EQ(result.calls("Sleep").at(0)["ms"], 1500);
    EXPECT_EQ(result.drive_state("pd0-halvern")["firmware"], "HT10A001");
}

TEST(process_exit, the_exit_record_holds_the_status_given_to_exit) {
    const auto result = fwu_test::run(probe, {"exit", "9"});
    EXPECT_EQ(result.exit_code, 9);
    EXPECT_EQ(result.exit_record()["code"], 9);
}

TEST(process_exit, arguments_reach_the_program_unchanged_through_the_windows_command_line) {
    const auto result = fwu_test::run(probe, {"return", "0", "two words", R"(\\.\PhysicalDrive0)",
                                              R"(quote"inside)", R"(ends\)", ""});
    EXPECT_EQ(result.out, "[return]\n[0]\n[two words]\n[\\\\.\\PhysicalDrive0]\n[quote\"inside]\n"
                          "[ends\\]\n[]\n");
}

TEST(process_exit, a_bad_machine_description_stops_the_program_with_its_reason) {
    fwu_test::run_options options;
    options.machine_json = R"({"drives": [{"id": "x"}], "disks": [{"drive": "missing"}]})";
    options.expect_exit_record = false; // the machine never came up
    const auto result = fwu_test::run(probe, {"return", "0"}, options);
    EXPECT_EQ(result.exit_code, 70);
    EXPECT_NE(result.err.find("unknown drive"), std::string::npos);
}

} // namespace
