// Marlisk's fault sweep: ATA pass-through (/t:) and CSMI (/c:), a four-block image at one
// block a command, and one whose last block is partial; /r:0 for no retry, /r:1 for one; the
// queries before the download (SMART IDENTIFY, the adapter, the RAID configuration, IDENTIFY
// through CSMI).
#include "fault_sweep.h"

#include <gtest/gtest.h>

namespace hardening_test {
namespace {

const std::string kDravoniPath = "\\\\?\\scsi#disk&ven_dravoni&prod_kx2000#4&2f3b1c0&0&010000#"
                                 "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";

std::vector<sweep_target> marlisk_targets() {
    const fault_kind abort{
        "drive_abort", fault_site::drive, {{"status", 0x51}, {"error", 0x04}}, 5};
    const fault_kind idnf{"drive_idnf", fault_site::drive, {{"status", 0x51}, {"error", 0x10}}, 5};
    const fault_kind busy{"drive_busy", fault_site::drive, {{"status", 0x80}, {"error", 0}}, 5};
    const fault_kind device_fault{
        "drive_fault", fault_site::drive, {{"status", 0x70}, {"error", 0}}, 5, 0, nullptr, true};

    sweep_target ata;
    ata.name = "marlisk_ata_offsets";
    ata.program = "marlisk";
    ata.arguments = {"/t:" + kDravoniPath, "/d:fw.bin"};
    ata.image_name = "fw.bin";
    ata.image_size = 4 * 512;
    ata.drive = "pd1-dravoni";
    ata.subcommand = 0x0E;
    ata.blocks_per_command = 1;
    ata.commands = 4;
    ata.retry_arguments = {"/r:1"};
    ata.no_retry_arguments = {"/r:0"};
    // Each run keeps its named mutexes to itself, so cases may run side by side.
    ata.env = {{"WINSIM_MUTEX_DIR", "$DIR/mutexes"}};
    ata.faults = {
        abort, idnf, busy, device_fault, {"ioctl_error", fault_site::ioctl, {{"error", 1117}}, 5}};
    // A drive whose SMART IDENTIFY fails is not listed; the adapter must answer both queries.
    ata.query_faults = {
        {"smart_identify_abort",
         fault_site::drive,
         {{"route", "smart"}, {"command", 0xEC}, {"status", 0x51}, {"error", 0x04}},
         2},
        {"smart_identify_fault",
         fault_site::drive,
         {{"route", "smart"}, {"command", 0xEC}, {"status", 0x70}},
         2},
        // A locked drive whose SMART IDENTIFY brought nothing is not listed.
        {"smart_identify_no_data_locked",
         fault_site::drive,
         {{"route", "smart"}, {"command", 0xEC}, {"status", 0x50}, {"error", 0}, {"data", "none"}},
         2,
         nlohmann::json::object(),
         locked_drive()},
        {"adapter_header_error",
         fault_site::ioctl,
         {{"ioctl", "0x2D1400"}, {"nth", 1}, {"error", 1117}},
         33},
        {"adapter_descriptor_error",
         fault_site::ioctl,
         {{"ioctl", "0x2D1400"}, {"nth", 2}, {"error", 1117}},
         33}};

    sweep_target csmi = ata;
    csmi.name = "marlisk_csmi_offsets";
    csmi.arguments = {"/c:1,0000000500000001", "/d:fw.bin"};
    csmi.drive = "scsi2-phy1-dravoni";
    csmi.faults = {abort,
                   idnf,
                   busy,
                   device_fault,
                   {"ioctl_error", fault_site::controller, {{"error", 1117}}, 5},
                   {"return_code", fault_site::controller, {{"return_code", 1}}, 5},
                   {"connection_rejected", fault_site::controller, {{"connection_status", 4}}, 5}};
    // The search reads IDENTIFY through CSMI without judging the drive's status: data the
    // drive did not send name no Dravoni drive.
    csmi.query_faults = {
        {"raid_config_error",
         fault_site::controller,
         {{"request", "raid_config"}, {"error", 1117}},
         2},
        {"identify_error",
         fault_site::controller,
         {{"request", "stp"}, {"ata_command", 0xEC}, {"error", 1117}},
         3},
        {"identify_fault", fault_site::drive, {{"command", 0xEC}, {"status", 0x70}}, 2},
        {"identify_no_data_locked", fault_site::drive, identify_without_data(0x50), 2,
         nlohmann::json::object(), locked_drive()}};
    return {ata, csmi, with_final_partial_block(ata, 3 * 512 + 100, {abort, device_fault}),
            with_final_partial_block(csmi, 3 * 512 + 100, {abort, device_fault})};
}

const std::vector<sweep_target>& targets() {
    static const auto made = marlisk_targets();
    return made;
}

class MarliskFaultSweep : public testing::TestWithParam<sweep_case> {};

TEST_P(MarliskFaultSweep, FailsWithTheTableCodeAndNeverClaimsAPartialImage) {
    run_and_check(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, MarliskFaultSweep, testing::ValuesIn(sweep_cases(targets())),
                         [](const auto& param_info) { return case_name(param_info.param); });

class MarliskQuerySweep : public testing::TestWithParam<query_case> {};

TEST_P(MarliskQuerySweep, AFailedQueryNeverLeadsToAFalseSuccess) {
    run_and_check(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, MarliskQuerySweep, testing::ValuesIn(query_cases(targets())),
                         [](const auto& param_info) { return case_name(param_info.param); });

} // namespace
} // namespace hardening_test
