// NorrixUpdater's fault sweep: the SATA bus (/T:, 126 blocks a command) and the CSMI bus
// (/C:, 5 blocks a command), four commands each, the last also with a partial block; the
// IDENTIFY before the download. The program makes no retries.
#include "fault_sweep.h"

#include <gtest/gtest.h>

namespace hardening_test {
namespace {

std::vector<sweep_target> norrix_targets() {
    const fault_kind abort{
        "drive_abort", fault_site::drive, {{"status", 0x51}, {"error", 0x04}}, 4};
    const fault_kind idnf{"drive_idnf", fault_site::drive, {{"status", 0x51}, {"error", 0x10}}, 5};
    const fault_kind device_fault{
        "drive_fault", fault_site::drive, {{"status", 0x70}, {"error", 0}}, 5};
    const auto identify = [](int status, int error) {
        return nlohmann::json{{"command", 0xEC}, {"status", status}, {"error", error}};
    };

    sweep_target sata;
    sata.name = "norrix_sata_offsets";
    sata.program = "norrixupdater";
    sata.arguments = {R"(/T:\\.\PhysicalDrive2)", "/D:fw.bin"};
    sata.image_name = "fw.bin";
    sata.image_size = 4 * 126 * 512;
    sata.drive = "pd2-norrix";
    sata.subcommand = 0x0E;
    sata.blocks_per_command = 126;
    sata.commands = 4;
    // The SATA bus asks a busy drive again, 1,001 times in all.
    const fault_kind busy_once{
        "drive_busy_once", fault_site::drive, {{"status", 0x80}, {"error", 0}}, 0, 1};
    const fault_kind busy_always{"drive_busy_1001_times",
                                 fault_site::drive,
                                 {{"status", 0x80}, {"error", 0}, {"times", 1001}},
                                 5,
                                 1000};
    // Two faults in one run: busy, then a device fault on the command asked again.
    const fault_kind busy_then_fault{
        "drive_busy_then_fault",         fault_site::drive, {{"status", 0x80}, {"error", 0}}, 5, 1,
        {{"status", 0x70}, {"error", 0}}};
    sata.faults = {abort,
                   idnf,
                   device_fault,
                   busy_once,
                   busy_always,
                   busy_then_fault,
                   {"ioctl_error", fault_site::ioctl, {{"error", 1117}}, 1}};
    sata.query_faults = {{"identify_abort", fault_site::drive, identify(0x51, 0x04), 4},
                         {"identify_fault", fault_site::drive, identify(0x70, 0), 5},
                         {"identify_busy_once",
                          fault_site::drive,
                          {{"command", 0xEC}, {"status", 0x80}, {"times", 1}},
                          0},
                         {"identify_ioctl_error",
                          fault_site::ioctl,
                          {{"ioctl", "0x4D030"}, {"nth", 1}, {"error", 1117}},
                          1},
                         // Without the adapter's page limit the chunks go in place.
                         {"adapter_query_error",
                          fault_site::ioctl,
                          {{"ioctl", "0x2D1400"}, {"error", 1117}},
                          0}};

    // A locked drive whose IDENTIFY brought nothing, or data with a wrong checksum.
    const query_fault identify_no_data{"identify_no_data_locked",   fault_site::drive,
                                       identify_without_data(0x50), 5,
                                       nlohmann::json::object(),    locked_drive()};
    sata.query_faults.push_back(identify_no_data);
    sata.query_faults.push_back(identify_with_bad_checksum(5));

    sweep_target csmi = sata;
    csmi.name = "norrix_csmi_offsets";
    csmi.arguments = {"/C:2,0000000500000002", "/D:fw.bin"};
    csmi.image_size = 4 * 5 * 512;
    csmi.drive = "scsi2-phy2-norrix";
    csmi.blocks_per_command = 5;
    csmi.faults = {abort,
                   idnf,
                   device_fault,
                   {"drive_busy", fault_site::drive, {{"status", 0x80}, {"error", 0}}, 5},
                   {"ioctl_error", fault_site::controller, {{"error", 1117}}, 1},
                   {"return_code", fault_site::controller, {{"return_code", 1}}, 1},
                   {"connection_rejected", fault_site::controller, {{"connection_status", 4}}, 1}};
    csmi.query_faults = {{"identify_abort", fault_site::drive, identify(0x51, 0x04), 4},
                         {"identify_fault", fault_site::drive, identify(0x70, 0), 5},
                         {"identify_busy", fault_site::drive, identify(0x80, 0), 5},
                         {"identify_return_code",
                          fault_site::controller,
                          {{"request", "stp"}, {"ata_command", 0xEC}, {"return_code", 1}},
                          1},
                         identify_no_data,
                         identify_with_bad_checksum(5)};
    return {sata, csmi, with_final_partial_block(sata, 3 * 126 * 512 + 1000, {abort, device_fault}),
            with_final_partial_block(csmi, 3 * 5 * 512 + 700, {abort, device_fault})};
}

const std::vector<sweep_target>& targets() {
    static const auto made = norrix_targets();
    return made;
}

class NorrixFaultSweep : public testing::TestWithParam<sweep_case> {};

TEST_P(NorrixFaultSweep, FailsWithTheTableCodeAndNeverClaimsAPartialImage) {
    run_and_check(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, NorrixFaultSweep, testing::ValuesIn(sweep_cases(targets())),
                         [](const auto& param_info) { return case_name(param_info.param); });

class NorrixQuerySweep : public testing::TestWithParam<query_case> {};

TEST_P(NorrixQuerySweep, AFailedQueryNeverLeadsToAFalseSuccess) {
    run_and_check(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, NorrixQuerySweep, testing::ValuesIn(query_cases(targets())),
                         [](const auto& param_info) { return case_name(param_info.param); });

} // namespace
} // namespace hardening_test
