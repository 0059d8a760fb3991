// Update runs on the SCSI route: the commands on the wire, the image the drive assembles,
// the output, the pause after each attempt, retries and the activate step.
#include "skelder_run.h"

#include <gtest/gtest.h>

namespace skelder_test {
namespace {

std::string SliceSha(const fwu_test::image_file& image, std::size_t offset, std::size_t length) {
    const auto begin = image.bytes.begin() + static_cast<std::ptrdiff_t>(offset);
    return fwu_test::sha256_hex(
        std::vector<std::uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(length)));
}

// All twelve registers of an ATA record, as the drive saw them.
struct Registers {
    int command, features, count, lba_low, lba_mid, lba_high, device;
};

void ExpectRegisters(const nlohmann::json& ata, const Registers& expected) {
    SCOPED_TRACE(ata.dump());
    EXPECT_EQ(ata.at("command"), expected.command);
    EXPECT_EQ(ata.at("features"), expected.features);
    EXPECT_EQ(ata.at("count"), expected.count);
    EXPECT_EQ(ata.at("lba_low"), expected.lba_low);
    EXPECT_EQ(ata.at("lba_mid"), expected.lba_mid);
    EXPECT_EQ(ata.at("lba_high"), expected.lba_high);
    EXPECT_EQ(ata.at("device"), expected.device);
    EXPECT_EQ(ata.at("ext"), nlohmann::json::array({0, 0, 0, 0, 0}));
    EXPECT_EQ(ata.at("route"), "sat16");
}

// Position of the n-th trace record (from 0) that has the given call and, if given, command.
std::size_t TraceIndex(const fwu_test::run_result& result, const std::string& call, int nth,
                       int command = -1) {
    int seen = 0;
    for (std::size_t i = 0; i < result.trace.size(); ++i) {
        const auto& record = result.trace[i];
        if (record.value("call", "") == call &&
            (command < 0 || record.value("command", -1) == command) && seen++ == nth) {
            return i;
        }
    }
    ADD_FAILURE() << "no record " << nth << " of " << call;
    return result.trace.size();
}

TEST(SkelderUpdate, TypicalSegmentedRequestPutsExactCommandsOnTheWire) {
    SkelderRun run;
    const auto image = run.WriteImage("fw.LOD", kMiB);
    const auto result = run.Run({kDisk, "/D:fw.LOD", "/s"});

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out, WarningBanner() + ProgressLines(32) + "\n\n");
    EXPECT_EQ(result.err, "");

    const auto ata = result.ata_commands();
    ASSERT_EQ(ata.size(), 37u);
    ExpectRegisters(ata[0], {0xEC, 0, 1, 0, 0, 0, 0});
    ExpectRegisters(ata[1], {0x2F, 0, 1, 0x30, 3, 0, 0});
    ExpectRegisters(ata[2], {0xEC, 0x0B, 1, 0xDB, 0x97, 0x20, 0});
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ata[static_cast<std::size_t>(i)].at("dir"), "in");
        EXPECT_EQ(ata[static_cast<std::size_t>(i)].at("length"), 512);
    }
    for (int n = 0; n < 32; ++n) {
        const auto& download = ata[3 + static_cast<std::size_t>(n)];
        const int offset = 64 * n;
        ExpectRegisters(download, {0x92, 3, 64, 0, offset & 0xFF, offset >> 8, 0x40});
        EXPECT_EQ(download.at("dir"), "out");
        EXPECT_EQ(download.at("length"), 32768);
        EXPECT_EQ(download.at("sha256"), SliceSha(image, 32768u * static_cast<unsigned>(n), 32768));
    }
    // Registers a command does not set keep what the last download left.
    ExpectRegisters(ata[35], {0xEC, 3, 1, 0, 0xC0, 0x07, 0x40});
    ExpectRegisters(ata[36], {0x2F, 3, 1, 0x30, 3, 0x07, 0x40});

    const auto sleeps = result.calls("Sleep");
    ASSERT_EQ(sleeps.size(), 1u);
    EXPECT_EQ(sleeps[0].at("ms"), 2000);
    const auto pause = TraceIndex(result, "Sleep", 0);
    EXPECT_LT(TraceIndex(result, "ata", 31, 0x92), pause);
    EXPECT_LT(pause, TraceIndex(result, "ata", 2, 0xEC));
    EXPECT_LT(TraceIndex(result, "ata", 2, 0xEC), TraceIndex(result, "CloseHandle", 0));
    EXPECT_EQ(result.calls("CloseHandle").size(), 1u);

    const auto drive = result.drive_state(kDrive);
    EXPECT_EQ(drive.at("received"), kMiB);
    EXPECT_EQ(drive.at("sha256"), image.sha256);
    EXPECT_EQ(drive.at("activated"), 1);
    EXPECT_EQ(drive.at("firmware"), "HT10A002");
}

TEST(SkelderUpdate, TypicalRequestWrapsCommandsInAtaPassThrough16) {
    SkelderRun run;
    run.WriteImage("fw.LOD", kMiB);
    const auto result = run.Run({kDisk, "/D:fw.LOD", "/s"});

    const auto open = result.calls("CreateFileW");
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].at("access"), 0xC0000000u);
    EXPECT_EQ(open[0].at("share"), 0);

    const auto blocks = ControlCalls(result, kScsiPassThroughDirect);
    ASSERT_EQ(blocks.size(), 2u + 37u);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_EQ(blocks[i].at("in_len"), 312);
        EXPECT_EQ(blocks[i].at("out_len"), 312);
        // DOWNLOAD MICROCODE may activate, which a slow drive takes seconds for.
        EXPECT_EQ(blocks[i].at("timeout"), i >= 5 ? 30 : 5);
    }
    // The SCSI identity probes, then IDENTIFY (with CK_COND: the drive's status comes back
    // whatever the SAT layer makes of a device fault), READ LOG EXT (48-bit), the signature
    // IDENTIFY and the first download (CK_COND too).
    EXPECT_EQ(blocks[0].at("cdb"), "12 00 00 00 fc 00");
    EXPECT_EQ(blocks[1].at("cdb"), "12 01 80 00 fc 00");
    EXPECT_EQ(blocks[1].at("data_length"), 252);
    EXPECT_EQ(blocks[2].at("cdb"), "85 08 2e 00 00 00 01 00 00 00 00 00 00 00 ec 00");
    EXPECT_EQ(blocks[2].at("data_in"), 1);
    EXPECT_EQ(blocks[3].at("cdb"), "85 09 0e 00 00 00 01 00 30 00 03 00 00 00 2f 00");
    EXPECT_EQ(blocks[4].at("cdb"), "85 08 0e 00 0b 00 01 00 db 00 97 00 20 00 ec 00");
    EXPECT_EQ(blocks[5].at("cdb"), "85 0a 26 00 03 00 40 00 00 00 00 00 00 40 92 00");
    EXPECT_EQ(blocks[5].at("data_in"), 0);
    EXPECT_EQ(blocks[5].at("data_length"), 32768);
}

TEST(SkelderUpdate, WholeImageGoesInOneCommand) {
    // An adapter that takes 2 MiB a request (the default one takes 128 KiB).
    Machine machine;
    machine.Disk()["max_transfer_length"] = 2 * kMiB;
    machine.Disk()["max_physical_pages"] = 2 * kMiB / 4096 + 1;
    SkelderRun run;
    const auto image = run.WriteImage("fw.LOD", kMiB);
    const auto result = run.Run({kDisk, "/D:fw.LOD"}, &machine);

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out, WarningBanner() + ProgressLines(1) + "\n\n");
    const auto downloads = DownloadCommands(result);
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_EQ(downloads[0].at("features"), 0x07);
    EXPECT_EQ(downloads[0].at("count"), 0x00);
    EXPECT_EQ(downloads[0].at("lba_low"), 0x08);
    EXPECT_EQ(BlockOffset(downloads[0]), 0);
    EXPECT_EQ(downloads[0].at("length"), kMiB);
    EXPECT_EQ(result.drive_state(kDrive).at("sha256"), image.sha256);
}

TEST(SkelderUpdate, RemainderGoesLastWithItsOwnBlockCountAndVerbosePlan) {
    Machine machine;
    machine.Drive()["microcode"]["expected_length"] = 102400;
    SkelderRun run;
    const auto image = run.WriteImage("fw.LOD", 102400);
    const auto result = run.Run({kDisk, "/D:fw.LOD", "/s", "/v"}, &machine);

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out, "  Device Path: \\\\.\\PhysicalDrive0\n"
                          "  FileName: fw.LOD\n"
                          "  Segmented Immediate Mode Selected\n"
                          "  MN: HALVERN HT1000\n"
                          "  SN: HV1000A0000001\n"
                          "  FW: HT10A001\n"
                          "  ATA8-ACS  ACS-2  ACS-3  \n"
                          "  DMA MICROCODE DOWNLOAD SUPPORTED \n"
                          "  MODE 3 MICROCODE DOWNLOAD SUPPORTED \n"
                          "  DM OFFSETS DEFERRED SUPPORTED SUPPORTED \n"
                          "  DM CLEARS NONACTIVATED DEFERRED DATA SUPPORTED \n"
                          "  MICROCODE DOWNLOAD MIN BLOCKS 1\n"
                          "  MICROCODE DOWNLOAD MAX BLOCKS 128\n"
                          "  SEC1\n"
                          "  Segment Size : 64\n"
                          "  ----------------------- \n"
                          "   Downloading Code \n"
                          "  Mode : 0x03\n"
                          "  File Size: 102400\n"
                          "  Number of Xfers: 3\n"
                          "  Sectors Xfered with Each Xfer: 64\n"
                          "  Data in Bytes per Xfer: 32768\n"
                          "  Remainder Bytes to Xfer: 4096\n"
                          "  -----------------------\n\n" +
                              WarningBanner() + ProgressLines(3) + " ! \n\n");
    const auto downloads = DownloadCommands(result);
    ASSERT_EQ(downloads.size(), 4u);
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(BlockCount(downloads[static_cast<std::size_t>(n)]), 64);
        EXPECT_EQ(BlockOffset(downloads[static_cast<std::size_t>(n)]), 64 * n);
    }
    EXPECT_EQ(downloads[3].at("count"), 8);
    EXPECT_EQ(downloads[3].at("lba_low"), 0);
    EXPECT_EQ(BlockOffset(downloads[3]), 192);
    EXPECT_EQ(downloads[3].at("length"), 4096);
    EXPECT_EQ(result.drive_state(kDrive).at("sha256"), image.sha256);
}

TEST(SkelderUpdate, SegmentSizeOption255BlocksSendsFullByteCounts) {
    Machine machine;
    machine.Drive()["microcode"]["max_blocks"] = 255;
    machine.Drive()["microcode"]["expected_length"] = 0;
    SkelderRun run;
    const auto image = run.WriteImage("fw.LOD", 2 * 130560 + 512);
    const auto result = run.Run({kDisk, "/D:fw.LOD", "/e", "/g", "255"}, &machine);

    EXPECT_EQ(result.exit_code, 0);
    const auto downloads = DownloadCommands(result);
    ASSERT_EQ(downloads.size(), 3u);
    EXPECT_EQ(downloads[0].at("features"), 0x0E);
    EXPECT_EQ(downloads[0].at("count"), 0xFF);
    EXPECT_EQ(downloads[0].at("lba_low"), 0);
    EXPECT_EQ(downloads[0].at("length"), 130560);
    EXPECT_EQ(BlockOffset(downloads[1]), 255);
    EXPECT_EQ(BlockOffset(downloads[2]), 510);
    EXPECT_EQ(BlockCount(downloads[2]), 1);
    EXPECT_EQ(result.drive_state(kDrive).at("sha256"), image.sha256);
}

TEST(SkelderUpdate, DeferredDownloadThenOneActivateCommand) {
    SkelderRun run;
    const auto image = run.WriteImage("fw.LOD", kMiB);
    const auto result = run.Run({kDisk, "/D:fw.LOD", "/e", "/a"});

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out, WarningBanner() + ProgressLines(32) + "\n\n" + WarningBanner() +
                              "Activate Completed ...\n");
    const auto downloads = DownloadCommands(result);
    ASSERT_EQ(downloads.size(), 33u);
    EXPECT_EQ(downloads[31].at("features"), 0x0E);
    // The activate command carries no data and counts no blocks.
    const auto& activate = downloads[32];
    EXPECT_EQ(activate.at("features"), 0x0F);
    EXPECT_EQ(BlockCount(activate), 0);
    EXPECT_EQ(BlockOffset(activate), 0);
    EXPECT_EQ(activate.at("dir"), "none");
    EXPECT_EQ(activate.at("length"), 0);
    // The activate step follows the pause after the download step.
    EXPECT_LT(TraceIndex(result, "Sleep", 0), TraceIndex(result, "ata", 32, 0x92));
    EXPECT_EQ(ControlCalls(result, kScsiPassThroughDirect)[2 + 3 + 32].at("cdb"),
              "85 06 20 00 0f 00 00 00 00 00 00 00 00 40 92 00"); // non-data, no T_LENGTH

    const auto drive = result.drive_state(kDrive);
    EXPECT_EQ(drive.at("sha256"), image.sha256);
    EXPECT_EQ(drive.at("activated"), 1);
    EXPECT_EQ(drive.at("firmware"), "HT10A002");
}

TEST(SkelderUpdate, ActivateStepIsOneCommandWithoutACountBeyond8MiB) {
    Machine machine;
    machine.Drive()["microcode"]["expected_length"] = 0;
    SkelderRun run;
    run.WriteImage("fw.LOD", 9 * kMiB);
    const auto result = run.Run({kDisk, "/D:fw.LOD", "/e", "/a", "/g", "128"}, &machine);

    EXPECT_EQ(result.exit_code, 0);
    const auto activations = Commands(result, 0x92);
    ASSERT_EQ(activations.size(), 144u + 1u);
    EXPECT_EQ(activations.back().at("features"), 0x0F);
    EXPECT_EQ(activations.back().at("count"), 0x00);
    EXPECT_EQ(activations.back().at("lba_low"), 0x00);
    EXPECT_EQ(result.drive_state(kDrive).at("activated"), 1);
}

TEST(SkelderUpdate, FailedDownloadIsNotActivated) {
    Machine machine;
    machine.AddDriveFault({{"command", 0x92}, {"features", 0x0E}, {"nth", 5}});
    SkelderRun run;
    run.WriteImage("fw.LOD", kMiB);
    const auto result = run.Run({kDisk, "/D:fw.LOD", "/e", "/a", "/v"}, &machine);

    EXPECT_EQ(result.exit_code, 1);
    const auto downloads = DownloadCommands(result);
    ASSERT_EQ(downloads.size(), 5u);
    EXPECT_EQ(downloads.back().at("features"), 0x0E);
    EXPECT_NE(result.out.find(" ^ \n\n"), std::string::npos);
    EXPECT_EQ(result.out.find("Activate"), std::string::npos);
    EXPECT_EQ(result.drive_state(kDrive).at("activated"), 0);
    EXPECT_EQ(Commands(result, 0xEC).size(), 3u) << "the drive is identified again";
}

TEST(SkelderUpdate, RetriesUntilTheImageGetsThrough) {
    Machine machine;
    machine.AddDriveFault({{"command", 0x92}, {"nth", 2}});
    SkelderRun run;
    const auto image = run.WriteImage("fw.LOD", kMiB);
    const auto result = run.Run({kDisk, "/D:fw.LOD", "/s", "/r", "3"}, &machine);

    EXPECT_EQ(result.exit_code, 0);
    // The spinner goes on where the failed attempt stopped.
    EXPECT_EQ(result.out, WarningBanner() + ProgressLines(1, 32) + "\n\nRetrying... 1\n" +
                              WarningBanner() + ProgressLines(32, 32, 1) + "\n\n");
    EXPECT_EQ(DownloadCommands(result).size(), 2u + 32u);
    EXPECT_EQ(result.calls("Sleep").size(), 2u);
    EXPECT_EQ(result.drive_state(kDrive).at("sha256"), image.sha256);
}

TEST(SkelderUpdate, RetriesStopAfterRetryCountPlusOneAttempts) {
    Machine machine;
    machine.AddDriveFault({{"command", 0x92}, {"times", 100}});
    SkelderRun run;
    run.WriteImage("fw.LOD", kMiB);
    const auto result = run.Run({kDisk, "/D:fw.LOD", "/s", "/r", "2"}, &machine);

    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.out, WarningBanner() + "\n\nRetrying... 1\n" + WarningBanner() +
                              "\n\nRetrying... 2\n" + WarningBanner() + "\n\n");
    EXPECT_EQ(DownloadCommands(result).size(), 3u);
    EXPECT_EQ(result.calls("Sleep").size(), 3u);

    SkelderRun negative;
    negative.WriteImage("fw.LOD", kMiB);
    const auto once = negative.Run({kDisk, "/D:fw.LOD", "/s", "/r", "-3"}, &machine);
    EXPECT_EQ(DownloadCommands(once).size(), 1u);
    EXPECT_EQ(once.exit_code, 1);
}

// The image is read once: a file removed during the pause before the activate command, or
// replaced before a retry, changes nothing that is sent.
TEST(SkelderUpdate, TheImageIsReadOnceForEveryAttemptAndTheActivateCommand) {
    struct Case {
        std::vector<std::string> options;
        nlohmann::json fault;
        nlohmann::json event;
        int activations; // 0x03 activates once the drive holds the whole image
    };
    const Case cases[] = {
        {{"/e", "/a"}, nullptr, {{"at_sleep", 1}, {"remove", "fw.LOD"}}, 1},
        {{"/s", "/r", "1"},
         {{"command", 0x92}, {"nth", 2}},
         {{"at_sleep", 1}, {"replace", "fw.LOD"}, {"with", "other.LOD"}},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event.dump());
        Machine machine;
        if (!c.fault.is_null()) {
            machine.AddDriveFault(c.fault);
        }
        machine.Root()["file_events"] = {c.event};
        SkelderRun run;
        const auto image = run.WriteImage("fw.LOD", kMiB);
        run.WriteImage("other.LOD", kMiB, 2);
        std::vector<std::string> arguments = {kDisk, "/D:fw.LOD"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const auto result = run.Run(arguments, &machine);

        EXPECT_EQ(result.exit_code, 0) << result.out;
        ASSERT_EQ(result.calls("file_event").size(), 1u);
        EXPECT_EQ(result.calls("file_event")[0].at("ok"), true);
        const auto drive = result.drive_state(kDrive);
        EXPECT_EQ(drive.at("sha256"), image.sha256);
        EXPECT_EQ(drive.at("activated"), c.activations);
    }
}

TEST(SkelderUpdate, DevicePathAloneIdentifiesTwiceAndSucceeds) {
    SkelderRun run;
    const auto result = run.Run({kDisk});

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(Opcodes(result), (std::vector<int>{0xEC, 0x2F, 0xEC, 0x2F}));
    EXPECT_TRUE(result.calls("Sleep").empty());
    EXPECT_EQ(result.calls("CloseHandle").size(), 1u);
}

} // namespace
} // namespace skelder_test
