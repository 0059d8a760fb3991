// The routes: the requests of the two that address a disk directly, and how each judges
// what the drive answers.
#include "skelder_csmi_machine.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace skelder_test {
namespace {

TEST(SkelderAtaRoute, TypicalRequestGoesThroughAtaPassThrough) {
    SkelderRun run;
    const auto image = run.WriteImage("fw.LOD", kMiB);
    const auto result = run.Run({std::string("/T:") + kDisk, "/D:fw.LOD", "/s"});

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.drive_state(kDrive).at("sha256"), image.sha256);
    for (const auto& ata : result.ata_commands()) {
        EXPECT_EQ(ata.at("route"), "ata");
    }
    // The SCSI identity probes still use SCSI pass-through.
    const auto probes = ControlCalls(result, kScsiPassThroughDirect);
    ASSERT_EQ(probes.size(), 2u);
    EXPECT_EQ(probes[0].at("cdb"), "12 00 00 00 fc 00");
    EXPECT_EQ(probes[1].at("cdb"), "12 01 80 00 fc 00");

    const auto requests = ControlCalls(result, kAtaPassThroughDirect);
    ASSERT_EQ(requests.size(), 37u);
    for (std::size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].at("in_len"), 48);
        EXPECT_EQ(requests[i].at("out_len"), 48);
        EXPECT_EQ(requests[i].at("timeout"), i >= 3 ? 30 : 5); // DOWNLOAD MICROCODE: 30 s
    }
    EXPECT_EQ(requests[0].at("ata_flags"), 0x03); // DRDY, data in
    EXPECT_EQ(requests[0].at("task_file"), "00 01 00 00 00 00 ec 00");
    EXPECT_EQ(requests[0].at("data_length"), 512);
    EXPECT_EQ(requests[1].at("ata_flags"), 0x0B); // 48-bit
    EXPECT_EQ(requests[1].at("task_file"), "00 01 30 03 00 00 2f 00");
    EXPECT_EQ(requests[1].at("previous_task_file"), "00 00 00 00 00 00 00 00");
    EXPECT_EQ(requests[2].at("task_file"), "0b 01 db 97 20 00 ec 00");
    EXPECT_EQ(requests[3].at("ata_flags"), 0x05); // DRDY, data out
    EXPECT_EQ(requests[3].at("task_file"), "03 40 00 00 00 40 92 00");
    EXPECT_EQ(requests[3].at("data_length"), 32768);
    EXPECT_EQ(requests[4].at("task_file"), "03 40 00 40 00 40 92 00");
}

TEST(SkelderAtaRoute, ActivateCommandHasNoDataPhase) {
    SkelderRun run;
    run.WriteImage("fw.LOD", kMiB);
    const auto result = run.Run({std::string("/T:") + kDisk, "/D:fw.LOD", "/e", "/a"});

    EXPECT_EQ(result.exit_code, 0);
    const auto requests = ControlCalls(result, kAtaPassThroughDirect);
    ASSERT_EQ(requests.size(), 3u + 32u + 1u + 2u);
    const auto& activate = requests[35];
    EXPECT_EQ(activate.at("ata_flags"), 0x01);
    EXPECT_EQ(activate.at("data_length"), 0);
    EXPECT_EQ(activate.at("task_file"), "0f 00 00 00 00 40 92 00"); // no block count
}

TEST(SkelderAtaRoute, StatusOtherThanReadyIsDeviceError) {
    Machine machine;
    machine.AddDriveFault({{"command", 0x92}, {"status", 0x51}, {"error", 0x04}});
    SkelderRun run;
    run.WriteImage("fw.LOD", kMiB);
    const auto result = run.Run({std::string("/T:") + kDisk, "/D:fw.LOD", "/s", "/v"}, &machine);

    EXPECT_EQ(result.exit_code, 1);
    EXPECT_NE(result.out.find(WarningBanner() +
                              " Status = 0x51 Error = 0x4 SC = 0x40 LBA Low = 0x0 LBA Mid = 0x0 "
                              "LBA Hi = 0x0\n"
                              " Data Transfered = 0 [io=48, req=32768]\n ^ \n\n"),
              std::string::npos)
        << result.out;
}

TEST(SkelderAtaRoute, ErrorRegister84IsItsOwnExitCodeWithoutMessage) {
    Machine machine;
    machine.AddDriveFault({{"command", 0x92}, {"status", 0x51}, {"error", 0x84}});
    SkelderRun run;
    run.WriteImage("fw.LOD", kMiB);
    const auto quiet = run.Run({std::string("/T:") + kDisk, "/D:fw.LOD", "/s"}, &machine);
    EXPECT_EQ(quiet.exit_code, 5);
    EXPECT_EQ(quiet.out, WarningBanner() + "\n\n");

    const auto verbose = run.Run({std::string("/T:") + kDisk, "/D:fw.LOD", "/s", "/v"}, &machine);
    EXPECT_EQ(verbose.exit_code, 5);
    EXPECT_NE(verbose.out.find(WarningBanner() + " ^ \n\n"), std::string::npos);
    EXPECT_EQ(verbose.out.find("Status ="), std::string::npos);
}

TEST(SkelderAtaRoute, DriverWithoutAtaPassThroughGives9) {
    Machine machine;
    machine.Refuse(kAtaPassThroughDirect, 1);
    SkelderRun run;
    const auto result = run.Run({std::string("/T:") + kDisk, "/v"}, &machine);

    EXPECT_EQ(result.exit_code, 9);
    EXPECT_EQ(result.out, "  Device Path: \\\\.\\PhysicalDrive0\n"
                          "  FileName: \n"
                          "  Download Immediate Mode Selected\n"
                          " WinIoStatus = 0x1ATA IDENTIFY (0xEC) command failed [0x1]\n");
    EXPECT_TRUE(result.ata_commands().empty());
    EXPECT_EQ(result.calls("CloseHandle").size(), 1u);
}

TEST(SkelderScsiRoute, DriverWithoutScsiPassThroughGives9) {
    Machine machine;
    machine.Refuse(kScsiPassThroughDirect, 1);
    SkelderRun run;
    const auto quiet = run.Run({kDisk}, &machine);
    EXPECT_EQ(quiet.exit_code, 9);
    EXPECT_EQ(quiet.out, "");

    const auto verbose = run.Run({kDisk, "/v"}, &machine);
    EXPECT_EQ(verbose.exit_code, 9);
    EXPECT_EQ(verbose.out, "  Device Path: \\\\.\\PhysicalDrive0\n"
                           "  FileName: \n"
                           "  Download Immediate Mode Selected\n"
                           "IO Error ERROR_INVALID_FUNCTION [1]\n"
                           "ATA IDENTIFY (0xEC) command failed [0x1]\n");
    // The SCSI probe stops at its failed INQUIRY; the failed IDENTIFY ends the run.
    const auto requests = ControlCalls(verbose, kScsiPassThroughDirect);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(verbose.calls("CloseHandle").size(), 1u);
}

TEST(SkelderScsiRoute, OtherDeviceControlFailureGives10) {
    Machine machine;
    // The third pass-through request is the first IDENTIFY, after the two SCSI probes.
    machine.AddIoctlFault({{"ioctl", kScsiPassThroughDirect}, {"nth", 3}, {"error", 1117}});
    SkelderRun run;
    const auto result = run.Run({kDisk, "/v"}, &machine);

    EXPECT_EQ(result.exit_code, 10);
    EXPECT_NE(result.out.find("IO Error [1117]\nATA IDENTIFY (0xEC) command failed [0x45d]\n"),
              std::string::npos)
        << result.out;
}

TEST(SkelderScsiRoute, CheckConditionIsDeviceError) {
    Machine machine;
    machine.AddDriveFault({{"command", 0x92}, {"nth", 3}});
    SkelderRun run;
    run.WriteImage("fw.LOD", kMiB);
    const auto result = run.Run({kDisk, "/D:fw.LOD", "/s", "/v"}, &machine);

    EXPECT_EQ(result.exit_code, 1);
    // Sense bytes 0 to 2 of fixed-format sense data: response code, 0, ABORTED COMMAND.
    EXPECT_NE(result.out.find(ProgressLines(2, 32) + "CHECK CONDITION ERROR for CMD: 92 " +
                              "Sense Buffer: 70 0 b\n ^ \n\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(DownloadCommands(result).size(), 3u);
}

TEST(SkelderScsiRoute, BusyOrOtherScsiStatusIsNeverSuccess) {
    for (const int status : {0x08, 0x18, 0x28, 0x40}) {
        SCOPED_TRACE(status);
        Machine machine;
        machine.AddScsiFault({{"ata_command", 0x92}, {"nth", 2}, {"scsi_status", status}});
        SkelderRun run;
        run.WriteImage("fw.LOD", kMiB);
        const auto result = run.Run({kDisk, "/D:fw.LOD", "/s", "/v"}, &machine);

        EXPECT_EQ(result.exit_code, 1);
        char message[64];
        std::snprintf(message, sizeof message, "SCSI STATUS ERROR for CMD: 92 SCSI Status: %x\n",
                      status);
        EXPECT_NE(result.out.find(ProgressLines(1, 32) + message + " ^ \n\n"), std::string::npos)
            << result.out;
        EXPECT_EQ(DownloadCommands(result).size(), 1u)
            << "the busy request never reached the drive";
        EXPECT_EQ(result.drive_state(kDrive).at("activated"), 0);
    }
}

// DF (device fault) with ERR clear: the drive did not store the segment. No route takes it as
// done, and no activate command follows (the drive would activate part of an image).
TEST(SkelderRoutes, ADeviceFaultOnTheLastSegmentFailsEveryRouteAndIsNotActivated) {
    const std::pair<std::string, std::string> routes[] = {
        {kDisk, kDrive}, {std::string("/T:") + kDisk, kDrive}, {R"(/C:\\.\SCSI2:0)", kCsmiDrive}};
    for (const auto& [target, drive] : routes) {
        for (const int status : {0x70, 0x60}) {
            SCOPED_TRACE(target + " " + std::to_string(status));
            CsmiMachine machine;
            machine.Drive(drive)["microcode"].erase("expected_length");
            machine.Drive(drive)["faults"] = {
                {{"command", 0x92}, {"features", 0x0E}, {"nth", 4}, {"status", status}}};
            SkelderRun run;
            run.WriteImage("fw.LOD", 4 * 512);
            const auto result = machine.Run(run, {target, "/D:fw.LOD", "/e", "/a", "/g", "1"});
            EXPECT_EQ(result.exit_code, 1);
            EXPECT_EQ(DownloadCommands(result).size(), 4u) << "no activate command";
            EXPECT_EQ(result.drive_state(drive).at("activated"), 0);
        }
    }
}

TEST(SkelderRoutes, ScsiAddressGoesIntoEveryRequest) {
    Machine machine;
    machine.Disk()["scsi_address"] = {{"port", 3}, {"path", 1}, {"target", 4}, {"lun", 2}};
    for (const std::string prefix : {"", "/T:"}) {
        SCOPED_TRACE(prefix);
        SkelderRun run;
        const auto result = run.Run({prefix + kDisk}, &machine);
        EXPECT_EQ(result.exit_code, 0);
        auto requests = ControlCalls(result, kScsiPassThroughDirect);
        const auto ata = ControlCalls(result, kAtaPassThroughDirect);
        requests.insert(requests.end(), ata.begin(), ata.end());
        ASSERT_EQ(requests.size(), 2u + 4u);
        for (const auto& request : requests) {
            EXPECT_EQ(request.at("path_id"), 1);
            EXPECT_EQ(request.at("target_id"), 4);
            EXPECT_EQ(request.at("lun"), 2);
        }
    }
}

} // namespace
} // namespace skelder_test
