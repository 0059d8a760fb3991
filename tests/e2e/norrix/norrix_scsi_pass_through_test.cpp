// The SATA bus's SCSI pass-through operations and IsWow64, through a probe that calls them.
#include "norrix_run.h"

#include <gtest/gtest.h>

namespace norrix_test {
namespace {

fwu_test::run_result RunProbe(const std::vector<std::string>& args, const Machine& machine) {
    fwu_test::temp_dir dir;
    fwu_test::run_options options;
    options.working_dir = dir.path();
    options.machine_json = machine.Json();
    auto result = fwu_test::run(NORRIX_BUS_PROBE, args, options);
    EXPECT_FALSE(result.timed_out);
    return result;
}

nlohmann::json OnlyScsiPassThrough(const fwu_test::run_result& result) {
    const auto ioctls = result.calls("DeviceIoControl");
    EXPECT_EQ(ioctls.size(), 1u);
    return ioctls.empty() ? nlohmann::json() : ioctls[0];
}

TEST(NorrixScsiPassThrough, DisableSettingsPreservationSendsSetFeaturesInAta12) {
    const auto result = RunProbe({kNorrixDisk, "disable"}, Machine());
    const auto request = OnlyScsiPassThrough(result);
    EXPECT_EQ(request.at("ioctl"), "0x4D004");
    EXPECT_EQ(request.at("in_len"), 44);
    EXPECT_EQ(request.at("out_len"), 80);
    EXPECT_EQ(request.at("cdb"), "a1 06 0e 90 06 00 00 00 00 ef 00 00");
    EXPECT_EQ(request.at("target_id"), 1);
    EXPECT_EQ(request.at("data_in"), 1);
    EXPECT_EQ(request.at("data_length"), 0);
    EXPECT_EQ(request.at("timeout"), 2);

    const auto ata = result.ata_commands();
    ASSERT_EQ(ata.size(), 1u);
    EXPECT_EQ(ata[0].at("command"), 0xEF);
    EXPECT_EQ(ata[0].at("features"), 0x90);
    EXPECT_EQ(ata[0].at("count"), 0x06);
    EXPECT_EQ(result.out, "Opening device \\\\.\\PhysicalDrive2 for update.\nresult = 0\n");
    EXPECT_EQ(result.exit_code, 0);
}

TEST(NorrixScsiPassThrough, ReadPassThroughDataAsksFor512BytesAndShowsTheSense) {
    const auto result = RunProbe({kNorrixDisk, "read", "v"}, Machine());
    const auto request = OnlyScsiPassThrough(result);
    EXPECT_EQ(request.at("out_len"), 592);
    EXPECT_EQ(request.at("data_length"), 512);
    EXPECT_EQ(request.at("timeout"), 20);
    EXPECT_EQ(request.at("cdb"), "a1 00 00 00 00 00 00 00 00 00 00 00");
    // A CDB with nothing but the operation code asks for no ATA command the translator can
    // carry: whatever the answer, a non-zero SCSI status is result 1 with the sense shown.
    if (result.exit_code == 1) {
        EXPECT_NE(result.out.find("SCSI status: 02h\n\n"
                                  "SCSI Sense Info\n"
                                  "-------------------------------------------------------------\n"
                                  "70 "),
                  std::string::npos)
            << result.out;
        EXPECT_NE(result.out.find(" \n\nresult = 1\n"), std::string::npos) << result.out;
    } else {
        EXPECT_EQ(result.exit_code, 0) << result.out;
    }
}

TEST(NorrixScsiPassThrough, FailedDeviceIoControlIs5) {
    Machine machine;
    machine.AddIoctlFault({{"ioctl", 0x4D004}, {"error", 1117}});
    const auto result = RunProbe({kNorrixDisk, "disable", "v"}, machine);
    EXPECT_EQ(result.exit_code, 5);
    EXPECT_NE(result.out.find("ERROR:DeviceIoControl failed, GetLastError = 0x45d\n"),
              std::string::npos)
        << result.out;
}

TEST(NorrixScsiPassThrough, IsWow64FollowsTheMachinesBitness) {
    Machine machine;
    EXPECT_EQ(RunProbe({kNorrixDisk, "wow64"}, machine).exit_code, 1);
    machine.Set("windows_64bit", false);
    EXPECT_EQ(RunProbe({kNorrixDisk, "wow64"}, machine).exit_code, 0);
}

} // namespace
} // namespace norrix_test
