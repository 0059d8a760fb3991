// skelder.exe under Wine against the host build, for every case that opens no disk.
#include "wine_run.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using fwu_wine::no_disk_case;

class SkelderUnderWine : public testing::TestWithParam<no_disk_case> {};

TEST_P(SkelderUnderWine, PrintsAndExitsAsTheHostBuild) {
    fwu_wine::expect_same_as_host(fwu_wine::windows_binary("skelder.exe"), FWU_HOST_SKELDER,
                                  GetParam());
}

const std::string long_path = "\\\\.\\" + std::string(300, 'P');

INSTANTIATE_TEST_SUITE_P(
    NoDisk, SkelderUnderWine,
    testing::Values(
        no_disk_case{"no_arguments", {}, 8}, no_disk_case{"help", {"/h"}, 8},
        no_disk_case{"help_upper", {"/H"}, 8}, no_disk_case{"help_long", {"/help"}, 8},
        no_disk_case{"unknown_option", {"\\\\.\\PhysicalDrive0", "/x"}, 8},
        no_disk_case{"upper_case_option", {"\\\\.\\PhysicalDrive0", "/V"}, 8},
        no_disk_case{"scan_not_first", {"\\\\.\\PhysicalDrive0", "--scan"}, 8},
        no_disk_case{"csmi_without_separator", {"/C:nothing", "/v"}, 8},
        no_disk_case{"short_sas_address", {"/C:2,00000005", "/D:fw.LOD"}, 8},
        no_disk_case{"segment_size_missing", {"\\\\.\\PhysicalDrive0", "/g"}, 8},
        no_disk_case{"retry_count_not_a_number", {"\\\\.\\PhysicalDrive0", "/r", "x1"}, 8},
        no_disk_case{"device_path_too_long", {long_path, "/v"}, 8},
        no_disk_case{"missing_device_quiet", {"\\\\.\\NoSuchDevice7", "/D:fw.LOD"}, 2},
        no_disk_case{
            "missing_device_verbose", {"\\\\.\\NoSuchDevice7", "/D:fw.LOD", "/s", "/v"}, 2},
        no_disk_case{"missing_device_ata_route", {"/T:\\\\.\\NoSuchDevice7", "/e", "/vv"}, 2},
        // A wide character below 256 prints as its byte (é as 0xE9); any other ends the name,
        // not the line.
        no_disk_case{
            "file_name_e_acute", {"\\\\.\\NoSuchDevice7", "/D:fw\xC3\xA9.LOD", "/s", "/v"}, 2},
        no_disk_case{
            "file_name_omega", {"\\\\.\\NoSuchDevice7", "/D:fw\xCE\xA9x.LOD", "/s", "/v"}, 2},
        // Wine has no CSMI controllers: the scan finds none of the fifteen.
        no_disk_case{"scan", {"--scan"}, 0}, no_disk_case{"scan_verbose", {"--scan", "/v"}, 0}),
    fwu_wine::case_name);

} // namespace
