// norrixupdater.exe under 32-bit Wine against the host build, for every case that opens no
// disk and no controller.
#include "wine_run.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

struct wine_case {
    const char* name;
    std::vector<std::string> arguments;
    int expected_exit;
};

void PrintTo(const wine_case& c, std::ostream* os) {
    *os << c.name;
}

class norrix_under_wine : public testing::TestWithParam<wine_case> {};

TEST_P(norrix_under_wine, prints_and_exits_as_the_host_build) {
    const wine_case& c = GetParam();
    const auto exe = fwu_wine::windows_binary("norrixupdater.exe");
    ASSERT_TRUE(std::filesystem::exists(exe)) << exe << " is not built";

    fwu_test::run_options host_options;
    host_options.machine_json = R"({"disks": [], "controllers": []})";
    const auto host = fwu_test::run(FWU_HOST_NORRIXUPDATER, c.arguments, host_options);
    const auto wine = fwu_wine::run_under_wine(exe, c.arguments);

    ASSERT_FALSE(wine.timed_out);
    EXPECT_EQ(host.exit_code, c.expected_exit);
    EXPECT_EQ(wine.exit_code, c.expected_exit);
    EXPECT_EQ(fwu_wine::comparable(wine.out, "Usage: "), fwu_wine::comparable(host.out, "Usage: "));
}

INSTANTIATE_TEST_SUITE_P(
    no_disk, norrix_under_wine,
    testing::Values(
        wine_case{"no_arguments", {}, 8}, wine_case{"datafile_only", {"/D:fw.bin"}, 8},
        wine_case{"datafile_only_verbose", {"/D:fw.bin", "/V"}, 8},
        wine_case{"target_only", {"/T:\\\\.\\NoSuchDevice7"}, 8},
        wine_case{"drive_letter_path_ignored", {"/T:C:\\x", "/D:fw.bin", "/V"}, 8},
        wine_case{"missing_device", {"/T:\\\\.\\NoSuchDevice7", "/D:fw.bin"}, 2},
        wine_case{"missing_device_verbose", {"-t:\\\\.\\NoSuchDevice7", "d:fw.bin", "/v"}, 2},
        wine_case{"missing_controller", {"/C:9,5000000000000001", "/D:fw.bin", "/V"}, 2}),
    [](const testing::TestParamInfo<wine_case>& param_info) {
        return std::string(param_info.param.name);
    });

} // namespace
