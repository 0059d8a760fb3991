// skelder.exe under Wine against the host build, for every case that opens no disk.
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

class skelder_under_wine : public testing::TestWithParam<wine_case> {};

TEST_P(skelder_under_wine, prints_and_exits_as_the_host_build) {
    const wine_case& c = GetParam();
    const auto exe = fwu_wine::windows_binary("skelder.exe");
    ASSERT_TRUE(std::filesystem::exists(exe)) << exe << " is not built";

    // The host build runs on an empty machine: Wine has no simulated disks either.
    fwu_test::run_options host_options;
    host_options.machine_json = R"({"disks": [], "controllers": []})";
    const auto host = fwu_test::run(FWU_HOST_SKELDER, c.arguments, host_options);
    const auto wine = fwu_wine::run_under_wine(exe, c.arguments);

    ASSERT_FALSE(wine.timed_out);
    EXPECT_EQ(host.exit_code, c.expected_exit);
    EXPECT_EQ(wine.exit_code, c.expected_exit);
    EXPECT_EQ(fwu_wine::comparable(wine.out, "Usage: "), fwu_wine::comparable(host.out, "Usage: "));
}

const std::string long_path = "\\\\.\\" + std::string(300, 'P');

INSTANTIATE_TEST_SUITE_P(
    no_disk, skelder_under_wine,
    testing::Values(
        wine_case{"no_arguments", {}, 8}, wine_case{"help", {"/h"}, 8},
        wine_case{"help_upper", {"/H"}, 8}, wine_case{"help_long", {"/help"}, 8},
        wine_case{"unknown_option", {"\\\\.\\PhysicalDrive0", "/x"}, 8},
        wine_case{"upper_case_option", {"\\\\.\\PhysicalDrive0", "/V"}, 8},
        wine_case{"scan_not_first", {"\\\\.\\PhysicalDrive0", "--scan"}, 8},
        wine_case{"csmi_without_separator", {"/C:nothing", "/v"}, 8},
        wine_case{"short_sas_address", {"/C:2,00000005", "/D:fw.LOD"}, 8},
        wine_case{"segment_size_missing", {"\\\\.\\PhysicalDrive0", "/g"}, 8},
        wine_case{"retry_count_not_a_number", {"\\\\.\\PhysicalDrive0", "/r", "x1"}, 8},
        wine_case{"device_path_too_long", {long_path, "/v"}, 8},
        wine_case{"missing_device_quiet", {"\\\\.\\NoSuchDevice7", "/D:fw.LOD"}, 2},
        wine_case{"missing_device_verbose", {"\\\\.\\NoSuchDevice7", "/D:fw.LOD", "/s", "/v"}, 2},
        wine_case{"missing_device_ata_route", {"/T:\\\\.\\NoSuchDevice7", "/e", "/vv"}, 2},
        // Wine has no CSMI controllers: the scan finds none of the fifteen.
        wine_case{"scan", {"--scan"}, 0}, wine_case{"scan_verbose", {"--scan", "/v"}, 0}),
    [](const testing::TestParamInfo<wine_case>& param_info) {
        return std::string(param_info.param.name);
    });

} // namespace
