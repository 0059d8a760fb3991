// Every exit code, from the command line to the drive's answers, and what each prints.
#include "norrix_run.h"

#include <gtest/gtest.h>

namespace norrix_test {
namespace {

const std::string kTarget = std::string("/T:") + kNorrixDisk;
constexpr int kBusy = 0x80;

TEST(NorrixExitCodes, NoArgumentsPrintTwoEmptyLinesAndEndWith8) {
    NorrixRun run;
    const auto result = run.Run({});
    EXPECT_EQ(result.out, "\n\n");
    EXPECT_EQ(result.exit_code, 8);
    EXPECT_TRUE(result.calls("CreateFileW").empty());
}

TEST(NorrixExitCodes, DatafileWithoutTargetEndsWith8) {
    NorrixRun run;
    const auto result = run.Run({"/D:fw.bin", "/V"});
    EXPECT_EQ(result.out, "\n\n"
                          "Required command line argument(s) not found\n"
                          "Application exit code = 8\n");
    EXPECT_EQ(result.exit_code, 8);
}

TEST(NorrixExitCodes, IgnoredArgumentsLeaveTheLineIncomplete) {
    NorrixRun run;
    run.WriteImage("fw.bin", 1024);
    // A drive letter makes three tokens; a /C of three parts sets nothing; neither touches
    // a device.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"/T:\\\\.\\PhysicalDrive1", "/D:C:\\fw.bin"},
          std::vector<std::string>{"/C:0,1122334455667788,1", "/D:fw.bin"},
          std::vector<std::string>{"/T:" + std::string(kNorrixDisk) + ":x", "/D:fw.bin"},
          std::vector<std::string>{"/D:fw.bin", "/T", "T:"}}) {
        const auto result = run.Run(args);
        EXPECT_EQ(result.exit_code, 8) << args[0];
        EXPECT_EQ(result.out, "\n\n") << args[0];
        EXPECT_TRUE(result.calls("CreateFileW").empty()) << args[0];
    }
}

TEST(NorrixExitCodes, DeviceThatDoesNotOpenEndsWith2) {
    NorrixRun run;
    run.WriteImage("fw.bin", 1024);
    const auto quiet = run.Run({"/T:\\\\.\\PhysicalDrive9", "/D:fw.bin"});
    EXPECT_EQ(quiet.exit_code, 2);
    EXPECT_EQ(quiet.out, "\n\n"
                         "Opening device \\\\.\\PhysicalDrive9 for update.\n"
                         "ERROR:Open device failed\n"
                         "Firmware download failed, exit code = 2\n");

    const auto verbose = run.Run({"/T:\\\\.\\PhysicalDrive9", "/D:fw.bin", "/V"});
    EXPECT_NE(verbose.out.find("Unable to open device, GetLastError = 0x2\n"
                               "ERROR:Open device failed\n"),
              std::string::npos)
        << verbose.out;
}

TEST(NorrixExitCodes, FailedDeviceIoControlEndsWith1) {
    NorrixRun run;
    run.WriteImage("fw.bin", 3 * kChunk);
    Machine machine;
    machine.AddIoctlFault({{"ioctl", 0x4D030}, {"nth", 3}, {"error", 1117}});
    const auto result = run.Run({kTarget, "/D:fw.bin", "/V"}, &machine);
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_NE(result.out.find("DeviceIoControl failed, GetLastError = 0x45d\n"
                              "ERROR:Download failed\n"
                              "Firmware download failed, exit code = 1\n"),
              std::string::npos)
        << result.out;
    // Chunks 1 went through; the failed second is not repeated and nothing follows.
    EXPECT_EQ(DownloadCommands(result).size(), 1u);
    EXPECT_EQ(result.calls("CloseHandle").size(), 1u);
}

TEST(NorrixExitCodes, FailedIdentifyIsPrintedWithoutVerbose) {
    NorrixRun run;
    run.WriteImage("fw.bin", 1024);
    Machine machine;
    machine.AddDriveFault({{"command", 0xEC}, {"status", 0x51}, {"error", 0x04}});
    const auto result = run.Run({kTarget, "/D:fw.bin"}, &machine);
    EXPECT_EQ(result.exit_code, 4);
    EXPECT_EQ(result.out, "\n\n"
                          "Opening device \\\\.\\PhysicalDrive2 for update.\n"
                          "ERROR:Identify device failed\n"
                          "Firmware download failed, exit code = 4\n");
}

TEST(NorrixExitCodes, DriveErrorsGive4WhenAbortedElse5) {
    struct Case {
        int status;
        int error;
        int exit_code;
    };
    // A device fault (DF) fails the command with ERR clear too; only ERR with ABRT gives 4.
    for (const Case c :
         {Case{0x51, 0x04, 4}, Case{0x51, 0x10, 5}, Case{0x51, 0x14, 4}, Case{0x50, 0x04, 0},
          Case{0x70, 0x00, 5}, Case{0x60, 0x04, 5}, Case{0x71, 0x04, 4}}) {
        NorrixRun run;
        run.WriteImage("fw.bin", 2 * kChunk);
        Machine machine;
        machine.AddDriveFault(
            {{"command", 0x92}, {"nth", 2}, {"status", c.status}, {"error", c.error}});
        const auto result = run.Run({kTarget, "/D:fw.bin", "/V"}, &machine);
        EXPECT_EQ(result.exit_code, c.exit_code) << c.status << " " << c.error;
        if (c.exit_code != 0) {
            EXPECT_EQ(result.drive_state(kNorrixDrive).at("received"), kChunk);
            char line[200];
            std::snprintf(line, sizeof line,
                          "DeviceIoControl error. CTF[0] = 0x%x, CTF[1] = 0x7e, CTF[2] = 0x0, "
                          "CTF[3] = 0x7e, CTF[4] = 0x0, CTF[5] = 0x0, CTF[6] = 0x%x, "
                          "CTF[7] = 0x0\nERROR:Download failed\n",
                          c.error, c.status);
            EXPECT_NE(result.out.find(line), std::string::npos) << result.out;
        }
    }
}

TEST(NorrixExitCodes, BusyDriveIsAskedAgainWithTheSameCommand) {
    NorrixRun run;
    const auto image = run.WriteImage("fw.bin", 2 * kChunk);
    Machine machine;
    machine.AddDriveFault({{"command", 0x92}, {"nth", 2}, {"times", 3}, {"status", kBusy}});
    const auto result = run.Run({kTarget, "/D:fw.bin"}, &machine);
    EXPECT_EQ(result.exit_code, 0);
    const auto commands = DownloadCommands(result);
    ASSERT_EQ(commands.size(), 5u);
    // The busy chunk is sent again unchanged, after a 5 ms pause each time.
    for (size_t i = 1; i < 5; ++i) {
        EXPECT_EQ(BlockOffset(commands[i]), 126) << i;
        EXPECT_EQ(BlockCount(commands[i]), 126) << i;
    }
    const auto sleeps = result.calls("Sleep");
    ASSERT_EQ(sleeps.size(), 3u);
    EXPECT_EQ(sleeps[0].at("ms"), 5);
    EXPECT_EQ(result.drive_state(kNorrixDrive).at("sha256"), image.sha256);
}

TEST(NorrixExitCodes, DriveBusyOnEveryReplyIsAsked1001TimesThenEndsWith5) {
    NorrixRun run;
    run.WriteImage("fw.bin", 1024);
    Machine machine;
    machine.AddDriveFault({{"command", 0x92}, {"times", 100000}, {"status", 0xD0}});
    const auto result = run.Run({kTarget, "/D:fw.bin", "/V"}, &machine);
    EXPECT_EQ(result.exit_code, 5);
    EXPECT_EQ(DownloadCommands(result).size(), 1001u);
    EXPECT_EQ(result.calls("Sleep").size(), 1000u);
    EXPECT_NE(result.out.find("DeviceIoControl max retry reached. CTF[0] = 0x0, CTF[1] = 0x2, "
                              "CTF[2] = 0x0, CTF[3] = 0x0, CTF[4] = 0x0, CTF[5] = 0x0, "
                              "CTF[6] = 0xd0, CTF[7] = 0x0\n"
                              "ERROR:Download failed\n"
                              "Firmware download failed, exit code = 5\n"),
              std::string::npos)
        << result.out.substr(0, 2000);
    // 1,000 pauses of 5 ms, plus the drive's own command time.
    const auto virtual_ms = result.exit_record().at("virtual_ms").get<std::int64_t>();
    EXPECT_GE(virtual_ms, 5000);
    EXPECT_LT(virtual_ms, 7100);
}

} // namespace
} // namespace norrix_test
