// marlisk.exe under 32-bit Wine against the host build, for the cases that reach no disk:
// same exit code, same output and the same log file bytes (CR LF in both builds).
#include "wine_run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct wine_case {
    const char* name;
    std::vector<std::string> arguments;
    bool with_image; // an image file "fw.bin" in the working directory
    int expected_exit;
};

void PrintTo(const wine_case& c, std::ostream* os) {
    *os << c.name;
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class MarliskUnderWine : public testing::TestWithParam<wine_case> {};

TEST_P(MarliskUnderWine, ExitsAndLogsAsTheHostBuild) {
    const wine_case& c = GetParam();
    const auto exe = fwu_wine::windows_binary("marlisk.exe");
    ASSERT_TRUE(std::filesystem::exists(exe)) << exe << " is not built";

    fwu_test::temp_dir host_dir;
    fwu_test::temp_dir wine_dir;
    if (c.with_image) {
        fwu_test::write_image(host_dir / "fw.bin", 4096);
        fwu_test::write_image(wine_dir / "fw.bin", 4096);
    }

    // Wine has no controllers and no disks; neither has the host machine here.
    fwu_test::run_options host_options;
    host_options.machine_json = R"({"disks": [], "controllers": []})";
    host_options.working_dir = host_dir.path();
    host_options.env = {{"WINSIM_MUTEX_DIR", (host_dir / "mutexes").string()}};
    const auto host = fwu_test::run(fwu_test::program_path("marlisk"), c.arguments, host_options);

    fwu_test::run_options wine_options;
    wine_options.command_prefix = {"wine"};
    wine_options.working_dir = wine_dir.path();
    wine_options.timeout = std::chrono::milliseconds(120'000);
    const auto wine = fwu_test::run(exe, c.arguments, wine_options);

    ASSERT_FALSE(wine.timed_out);
    EXPECT_EQ(host.exit_code, c.expected_exit);
    EXPECT_EQ(wine.exit_code, c.expected_exit);
    EXPECT_EQ(fwu_wine::comparable(wine.out, "Usage: "), fwu_wine::comparable(host.out, "Usage: "));
    const auto host_log = host_dir / "FwUpdateTool.log";
    const auto wine_log = wine_dir / "FwUpdateTool.log";
    ASSERT_EQ(std::filesystem::exists(wine_log), std::filesystem::exists(host_log));
    EXPECT_EQ(read_file(wine_log), read_file(host_log));
}

INSTANTIATE_TEST_SUITE_P(
    NoDisk, MarliskUnderWine,
    testing::Values(
        wine_case{"no_arguments", {}, false, 8},
        wine_case{"no_target", {"/d:fw.bin", "/l"}, true, 8},
        wine_case{"unknown_option", {"/l", "/x"}, false, 8},
        wine_case{"image_not_found", {"/c:0,1", "/d:missing.bin", "/l"}, false, 4},
        wine_case{"empty_image_name_default_missing", {"/c:0,1", "/l"}, false, 4},
        wine_case{"no_controller_lists_the_address", {"/c:0,1", "/d:fw.bin", "/l"}, true, 2},
        wine_case{"no_controller_quiet", {"/c:0x10,5000000000000001", "/d:fw.bin"}, true, 2},
        wine_case{"controller_gate", {"/t:\\\\?\\scsi#disk", "/d:fw.bin", "/l"}, true, 3}),
    [](const testing::TestParamInfo<wine_case>& param_info) {
        return std::string(param_info.param.name);
    });

} // namespace
