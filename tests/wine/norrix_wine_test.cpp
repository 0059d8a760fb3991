// norrixupdater.exe under 32-bit Wine against the host build, for every case that opens no
// disk and no controller.
#include "wine_run.h"

#include <gtest/gtest.h>

namespace {

using fwu_wine::no_disk_case;

class NorrixUnderWine : public testing::TestWithParam<no_disk_case> {};

TEST_P(NorrixUnderWine, PrintsAndExitsAsTheHostBuild) {
    fwu_wine::expect_same_as_host(fwu_wine::windows_binary("norrixupdater.exe"),
                                  FWU_HOST_NORRIXUPDATER, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    NoDisk, NorrixUnderWine,
    testing::Values(
        no_disk_case{"no_arguments", {}, 8}, no_disk_case{"datafile_only", {"/D:fw.bin"}, 8},
        no_disk_case{"datafile_only_verbose", {"/D:fw.bin", "/V"}, 8},
        no_disk_case{"target_only", {"/T:\\\\.\\NoSuchDevice7"}, 8},
        no_disk_case{"drive_letter_path_ignored", {"/T:C:\\x", "/D:fw.bin", "/V"}, 8},
        no_disk_case{"missing_device", {"/T:\\\\.\\NoSuchDevice7", "/D:fw.bin"}, 2},
        no_disk_case{"missing_device_verbose", {"-t:\\\\.\\NoSuchDevice7", "d:fw.bin", "/v"}, 2},
        no_disk_case{"missing_controller", {"/C:9,5000000000000001", "/D:fw.bin", "/V"}, 2},
        // Wide console text: é prints as the byte 0xE9; Ω ends the device name, not the line.
        no_disk_case{"device_name_e_acute", {"/T:\\\\.\\NoSuchDevic\xC3\xA9", "/D:fw.bin"}, 2},
        no_disk_case{"device_name_omega", {"/T:\\\\.\\NoSuchDevic\xCE\xA9x", "/D:fw.bin"}, 2}),
    fwu_wine::case_name);

} // namespace
