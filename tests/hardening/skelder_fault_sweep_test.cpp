// Skelder's fault sweep: SCSI, ATA and CSMI routes; whole-image, segmented and deferred
// downloads of four blocks (one block a command with /g 1); /r 1 for the retries; the queries
// before a deferred download.
#include "fault_sweep.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace hardening_test {
namespace {

constexpr std::size_t kImageSize = 4 * 512;

const fault_kind kDriveAbort{
    "drive_abort", fault_site::drive, {{"status", 0x51}, {"error", 0x04}}, 1};
// BSY without ERR: the drive did not complete the command.
const fault_kind kDriveBusy{"drive_busy", fault_site::drive, {{"status", 0x80}, {"error", 0}}, 1};
// DF without ERR: a device fault kept the drive from doing the command.
const fault_kind kDriveFault{
    "drive_fault", fault_site::drive, {{"status", 0x70}, {"error", 0}}, 1, 0, nullptr, true};

// Failures before the download: the first IDENTIFY ends the run; the signature and closing
// IDENTIFY, the log page and the SCSI identity only inform it.
std::vector<query_fault> route_queries(const std::string& route) {
    const auto identify = [](int nth, int status, int error) {
        return nlohmann::json{
            {"command", 0xEC}, {"nth", nth}, {"status", status}, {"error", error}};
    };
    std::vector<query_fault> queries = {
        {"identify_abort", fault_site::drive, identify(1, 0x51, 0x04), 1},
        {"identify_fault", fault_site::drive, identify(1, 0x70, 0), 1},
        {"identify_busy", fault_site::drive, identify(1, 0x80, 0), 1},
        {"signature_identify_abort", fault_site::drive, identify(2, 0x51, 0x04), 0},
        {"closing_identify_fault", fault_site::drive, identify(3, 0x70, 0), 0},
        {"read_log_abort",
         fault_site::drive,
         {{"command", 0x2F}, {"status", 0x51}, {"error", 0x04}},
         0},
        {"read_log_fault", fault_site::drive, {{"command", 0x2F}, {"status", 0x70}}, 0}};
    // A locked drive whose IDENTIFY brought nothing: the gate never reads the zeros as
    // "security off". The ATA route already fails 0x00 and 0x58 without data.
    std::vector<int> no_data_statuses = {0x50};
    if (route != "ata") {
        no_data_statuses.insert(no_data_statuses.end(), {0x00, 0x58});
    }
    for (const int status : no_data_statuses) {
        char name[40];
        std::snprintf(name, sizeof name, "identify_no_data_%02x_locked", status);
        queries.push_back({name, fault_site::drive, identify_without_data(status), 1,
                           nlohmann::json::object(), locked_drive()});
    }
    queries.push_back(identify_with_bad_checksum(1));
    if (route == "scsi") {
        queries.push_back(
            {"inquiry_busy", fault_site::scsi, {{"opcode", 0x12}, {"scsi_status", 0x08}}, 0});
    } else if (route == "ata") {
        queries.push_back({"identify_ioctl_error",
                           fault_site::ioctl,
                           {{"ioctl", "0x4D030"}, {"nth", 1}, {"error", 1117}},
                           10});
        // A driver that reports the whole length back whatever the drive did.
        queries.push_back({"identify_abort_full_length",
                           fault_site::drive,
                           identify(1, 0x51, 0x04),
                           1,
                           {{"reply_transfer_length", 512}}});
    } else {
        queries.push_back({"phy_info_error",
                           fault_site::controller,
                           {{"request", "phy_info"}, {"error", 1117}},
                           10});
    }
    return queries;
}

std::vector<fault_kind> route_faults(const std::string& route) {
    if (route == "scsi") {
        return {kDriveAbort,
                kDriveBusy,
                kDriveFault,
                {"drive_crc", fault_site::drive, {{"status", 0x51}, {"error", 0x84}}, 1},
                {"scsi_busy", fault_site::scsi, {{"scsi_status", 0x08}}, 1},
                {"scsi_reservation_conflict", fault_site::scsi, {{"scsi_status", 0x18}}, 1},
                {"scsi_task_set_full", fault_site::scsi, {{"scsi_status", 0x28}}, 1},
                {"scsi_task_aborted", fault_site::scsi, {{"scsi_status", 0x40}}, 1},
                {"ioctl_error", fault_site::ioctl, {{"error", 1117}}, 10},
                {"ioctl_not_supported", fault_site::ioctl, {{"error", 1}}, 9},
                // A SCSI-port-style driver's STATUS_NOT_SUPPORTED.
                {"ioctl_not_supported_50", fault_site::ioctl, {{"error", 50}}, 9}};
    }
    if (route == "ata") {
        return {kDriveAbort,
                kDriveBusy,
                kDriveFault,
                {"drive_crc", fault_site::drive, {{"status", 0x51}, {"error", 0x84}}, 5},
                {"ioctl_error", fault_site::ioctl, {{"error", 1117}}, 10},
                {"ioctl_not_supported", fault_site::ioctl, {{"error", 1}}, 9},
                // A SCSI-port-style driver's STATUS_NOT_SUPPORTED.
                {"ioctl_not_supported_50", fault_site::ioctl, {{"error", 50}}, 9}};
    }
    return {kDriveAbort,
            kDriveBusy,
            kDriveFault,
            {"ioctl_error", fault_site::controller, {{"error", 1117}}, 10},
            {"return_code", fault_site::controller, {{"return_code", 1}}, 10},
            {"connection_rejected", fault_site::controller, {{"connection_status", 4}}, 10}};
}

std::vector<sweep_target> skelder_targets() {
    struct route {
        const char* name;
        const char* device;
        const char* drive;
    };
    const route routes[] = {{"scsi", R"(\\.\PhysicalDrive0)", "pd0-halvern"},
                            {"ata", R"(/T:\\.\PhysicalDrive0)", "pd0-halvern"},
                            {"csmi", R"(/C:\\.\SCSI2:0)", "scsi2-phy0-halvern"}};
    std::vector<sweep_target> targets;
    for (const auto& r : routes) {
        sweep_target base;
        base.program = "skelder";
        base.image_name = "fw.LOD";
        base.image_size = kImageSize;
        base.drive = r.drive;
        base.retry_arguments = {"/r", "1"};
        base.faults = route_faults(r.name);

        sweep_target whole = base;
        whole.name = std::string("skelder_") + r.name + "_whole";
        whole.arguments = {r.device, "/D:fw.LOD"};
        whole.subcommand = 0x07;
        whole.blocks_per_command = 4;
        whole.commands = 1;
        targets.push_back(whole);

        sweep_target segmented = base;
        segmented.name = std::string("skelder_") + r.name + "_segmented";
        segmented.arguments = {r.device, "/D:fw.LOD", "/s", "/g", "1"};
        segmented.subcommand = 0x03;
        segmented.blocks_per_command = 1;
        segmented.commands = 4;
        targets.push_back(segmented);

        sweep_target deferred = segmented;
        deferred.name = std::string("skelder_") + r.name + "_deferred";
        deferred.arguments = {r.device, "/D:fw.LOD", "/e", "/a", "/g", "1"};
        deferred.subcommand = 0x0E;
        deferred.activates = true;
        deferred.query_faults = route_queries(r.name);
        targets.push_back(deferred);
    }
    return targets;
}

const std::vector<sweep_target>& targets() {
    static const auto made = skelder_targets();
    return made;
}

class SkelderFaultSweep : public testing::TestWithParam<sweep_case> {};

TEST_P(SkelderFaultSweep, FailsWithTheTableCodeAndNeverClaimsAPartialImage) {
    run_and_check(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, SkelderFaultSweep, testing::ValuesIn(sweep_cases(targets())),
                         [](const auto& param_info) { return case_name(param_info.param); });

class SkelderQuerySweep : public testing::TestWithParam<query_case> {};

TEST_P(SkelderQuerySweep, AFailedQueryNeverLeadsToAFalseSuccess) {
    run_and_check(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, SkelderQuerySweep, testing::ValuesIn(query_cases(targets())),
                         [](const auto& param_info) { return case_name(param_info.param); });

} // namespace
} // namespace hardening_test
