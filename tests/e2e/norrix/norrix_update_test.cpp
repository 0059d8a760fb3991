// The update run on the simulated machine's Norrix drive: output, the commands on the wire and
// what the drive ends up holding.
#include "norrix_run.h"

#include <gtest/gtest.h>

namespace norrix_test {
namespace {

const std::string kTarget = std::string("/T:") + kNorrixDisk;

TEST(NorrixUpdate, DefaultRunPrintsFourLinesAndTheDriveHoldsTheImage) {
    NorrixRun run;
    const auto image = run.WriteImage("fw.bin", 3 * kChunk + 40 * 512);
    const auto result = run.Run({kTarget, "/D:fw.bin"});

    EXPECT_EQ(result.out, "\n\n"
                          "Opening device \\\\.\\PhysicalDrive2 for update.\n"
                          "Downloading firmware.\n"
                          "Firmware download success\n");
    EXPECT_EQ(result.exit_code, 0);

    const auto commands = DownloadCommands(result);
    ASSERT_EQ(commands.size(), 4u);
    const int offsets[] = {0, 126, 252, 378};
    for (size_t i = 0; i < commands.size(); ++i) {
        EXPECT_EQ(commands[i].at("features"), 0x0E);
        EXPECT_EQ(commands[i].at("route"), "ata");
        EXPECT_EQ(commands[i].at("dir"), "out");
        EXPECT_EQ(BlockOffset(commands[i]), offsets[i]);
        EXPECT_EQ(BlockCount(commands[i]), i < 3 ? 126 : 40);
        EXPECT_EQ(commands[i].at("length"), i < 3 ? kChunk : 40 * 512);
    }
    // Success means the drive holds the image, saved for later: no 0x0F follows, and the old
    // firmware runs until the drive activates it (at its next power-on, as the drive decides).
    const auto drive = result.drive_state(kNorrixDrive);
    EXPECT_EQ(drive.at("received"), image.bytes.size());
    EXPECT_EQ(drive.at("sha256"), image.sha256);
    EXPECT_EQ(drive.at("activated"), 0);
    EXPECT_EQ(drive.at("firmware"), "NX50C001");
}

TEST(NorrixUpdate, RequestsAreThe32BitAtaPassThroughWithTheTabledFields) {
    NorrixRun run;
    run.WriteImage("fw.bin", kChunk);
    const auto result = run.Run({kTarget, "/D:fw.bin"});
    ASSERT_EQ(result.exit_code, 0);

    const auto ioctls = result.calls("DeviceIoControl");
    ASSERT_EQ(ioctls.size(), 3u);
    // IDENTIFY DEVICE: data in, 10 seconds.
    EXPECT_EQ(ioctls[0].at("ioctl"), "0x4D030");
    EXPECT_EQ(ioctls[0].at("in_len"), 40);
    EXPECT_EQ(ioctls[0].at("out_len"), 40);
    EXPECT_EQ(ioctls[0].at("ata_flags"), 0x23);
    EXPECT_EQ(ioctls[0].at("timeout"), 10);
    EXPECT_EQ(ioctls[0].at("data_length"), 512);
    EXPECT_EQ(ioctls[0].at("task_file"), "00 00 00 00 00 00 ec 00");
    // The adapter's page limit, asked before the download.
    EXPECT_EQ(ioctls[1].at("ioctl"), "0x2D1400");
    // One DOWNLOAD MICROCODE of exactly 126 blocks: Sector Count 0x7E, LBA Low 0.
    EXPECT_EQ(ioctls[2].at("ata_flags"), 0x25);
    EXPECT_EQ(ioctls[2].at("timeout"), 300);
    EXPECT_EQ(ioctls[2].at("data_length"), kChunk);
    EXPECT_EQ(ioctls[2].at("task_file"), "0e 7e 00 00 00 00 92 00");

    const auto opens = result.calls("CreateFileW");
    ASSERT_FALSE(opens.empty());
    EXPECT_EQ(opens[0].at("target"), kNorrixDisk);
    EXPECT_EQ(opens[0].at("access"), 0xC0000000u);
    EXPECT_EQ(opens[0].at("share"), 3);
    EXPECT_EQ(result.calls("CloseHandle").size(), 1u);
}

TEST(NorrixUpdate, FinalPartialBlockIsPaddedWithZerosAndCounted) {
    NorrixRun run;
    auto image = run.WriteImage("fw.bin", kChunk + 1);
    const auto result = run.Run({kTarget, "/D:fw.bin"});
    EXPECT_EQ(result.exit_code, 0);

    const auto commands = DownloadCommands(result);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(BlockOffset(commands[1]), 126);
    EXPECT_EQ(BlockCount(commands[1]), 1);
    EXPECT_EQ(commands[1].at("length"), 512);

    image.bytes.resize(kChunk + 512, 0);
    const auto drive = result.drive_state(kNorrixDrive);
    EXPECT_EQ(drive.at("received"), kChunk + 512);
    EXPECT_EQ(drive.at("sha256"), fwu_test::sha256_hex(image.bytes));
}

TEST(NorrixUpdate, ImageSmallerThanOneBlockIsOnePaddedBlock) {
    NorrixRun run;
    run.WriteImage("fw.bin", 100);
    const auto result = run.Run({kTarget, "/D:fw.bin"});
    EXPECT_EQ(result.exit_code, 0);
    const auto commands = DownloadCommands(result);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(BlockCount(commands[0]), 1);
    EXPECT_EQ(commands[0].at("length"), 512);
}

TEST(NorrixUpdate, ArgumentsWorkWithDashOrNothingBeforeThem) {
    NorrixRun run;
    const auto image = run.WriteImage("fw.bin", 2048);
    const auto result = run.Run({std::string("-t:") + kNorrixDisk, "d:fw.bin"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.drive_state(kNorrixDrive).at("sha256"), image.sha256);
}

TEST(NorrixUpdate, TargetWinsOverController) {
    NorrixRun run;
    run.WriteImage("fw.bin", 2048);
    const auto result = run.Run({"/C:2,1122334455667788", "/D:fw.bin", kTarget});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_NE(result.out.find("Opening device \\\\.\\PhysicalDrive2 for update.\n"),
              std::string::npos);
    for (const auto& open : result.calls("CreateFileW")) {
        EXPECT_EQ(open.at("target"), kNorrixDisk);
    }
}

TEST(NorrixUpdate, QuotedPathsWithSpacesAndSubdirectories) {
    NorrixRun run;
    std::filesystem::create_directory(run.Dir() / "new fw");
    const auto image = run.WriteImage("new fw/fw image.bin", 1024);
    const auto result = run.Run({kTarget, "/D:new fw\\fw image.bin", "/V"});
    EXPECT_EQ(result.exit_code, 0) << result.out;
    EXPECT_NE(result.out.find("Selected datafile new fw\\fw image.bin\n"), std::string::npos);
    EXPECT_EQ(result.drive_state(kNorrixDrive).at("sha256"), image.sha256);
}

TEST(NorrixUpdate, VerboseRunShowsRegistersStringsAndTheExitCode) {
    NorrixRun run;
    run.WriteImage("fw.bin", 1024);
    const auto result = run.Run({kTarget, "/D:fw.bin", "/v"});
    EXPECT_EQ(result.exit_code, 0);
    const std::string idle = "CurrentTaskFile CTF[0] = 0x0, CTF[1] = 0x0, CTF[2] = 0x0, "
                             "CTF[3] = 0x0, CTF[4] = 0x0, CTF[5] = 0x0, CTF[6] = 0x50, "
                             "CTF[7] = 0x0\n";
    const std::string expected_start = "\n\n"
                                       "Opening device \\\\.\\PhysicalDrive2 for update.\n" +
                                       idle + "modelNumber = NORRIX NX500";
    EXPECT_EQ(result.out.substr(0, expected_start.size()), expected_start) << result.out;
    // The model fills its 40 characters with trailing spaces.
    EXPECT_NE(result.out.find("modelNumber = NORRIX NX500" + std::string(28, ' ') + "\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("firmwareRevision = NX50C001\n"), std::string::npos);
    EXPECT_NE(result.out.find("serialNumber = "), std::string::npos);
    // With one datafile there is no type check.
    EXPECT_EQ(result.out.find("Word153"), std::string::npos);
    // The simulated drive hands the command's registers back: Sector Count 2 of 2 blocks.
    const std::string downloaded = "CurrentTaskFile CTF[0] = 0x0, CTF[1] = 0x2, CTF[2] = 0x0, "
                                   "CTF[3] = 0x0, CTF[4] = 0x0, CTF[5] = 0x0, CTF[6] = 0x50, "
                                   "CTF[7] = 0x0\n";
    const std::string expected_end = "Selected datafile fw.bin\n"
                                     "Downloading firmware.\n" +
                                     downloaded +
                                     "Firmware download success\n"
                                     "Application exit code = 0\n";
    ASSERT_GE(result.out.size(), expected_end.size());
    EXPECT_EQ(result.out.substr(result.out.size() - expected_end.size()), expected_end);
}

} // namespace
} // namespace norrix_test
