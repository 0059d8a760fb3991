// The drive information of "/i" and "/v", and the security gate.
#include "skelder_run.h"

#include <gtest/gtest.h>

namespace skelder_test {
namespace {

const std::string kDefaultInfo = "  MN: HALVERN HT1000\n"
                                 "  SN: HV1000A0000001\n"
                                 "  FW: HT10A001\n"
                                 "  ATA8-ACS  ACS-2  ACS-3  \n"
                                 "  DMA MICROCODE DOWNLOAD SUPPORTED \n"
                                 "  MODE 3 MICROCODE DOWNLOAD SUPPORTED \n"
                                 "  DM OFFSETS DEFERRED SUPPORTED SUPPORTED \n"
                                 "  DM CLEARS NONACTIVATED DEFERRED DATA SUPPORTED \n"
                                 "  MICROCODE DOWNLOAD MIN BLOCKS 1\n"
                                 "  MICROCODE DOWNLOAD MAX BLOCKS 128\n";

TEST(SkelderIdentity, InfoRunPrintsTheDriveAndEndsWith10) {
    SkelderRun run;
    run.WriteImage("fw.LOD", kMiB);
    const auto result = run.Run({kDisk, "/i", "/D:fw.LOD", "/g", "300"});

    EXPECT_EQ(result.exit_code, 10);
    EXPECT_EQ(result.out, kDefaultInfo + "  SEC1\n  Segment Size : 44\n");
    EXPECT_EQ(Opcodes(result), (std::vector<int>{0xEC, 0x2F}));
    EXPECT_TRUE(result.calls("CloseHandle").empty()) << "left to the end of the process";
}

TEST(SkelderIdentity, AbsentCapabilitiesPrintNoLines) {
    Machine machine;
    machine.SetWord(69, 0x00FF).SetWord(119, 0x000F).SetWord(80, 0x0800);
    machine.SetWord(234, 0).SetWord(235, 0);
    machine.Drive()["microcode"]["min_blocks"] = 0;
    machine.Drive()["microcode"]["max_blocks"] = 0;
    // A log page whose header is not valid: its capability bits do not count.
    machine.Drive()["logs"][0]["qwords"]["0"] = "0x0000000000030001";
    SkelderRun run;
    const auto result = run.Run({kDisk, "/i"}, &machine);

    EXPECT_EQ(result.exit_code, 10);
    EXPECT_EQ(result.out, "  MN: HALVERN HT1000\n"
                          "  SN: HV1000A0000001\n"
                          "  FW: HT10A001\n"
                          "  ACS-4  \n"
                          "  SEC1\n"
                          "  Segment Size : 64\n");
}

TEST(SkelderIdentity, FailedLogReadLeavesDeferredFlagsOff) {
    Machine machine;
    machine.AddDriveFault({{"command", 0x2F}});
    SkelderRun run;
    const auto result = run.Run({kDisk, "/i"}, &machine);

    EXPECT_EQ(result.exit_code, 10);
    EXPECT_EQ(result.out.find("DM "), std::string::npos);
    EXPECT_NE(result.out.find("MODE 3 MICROCODE DOWNLOAD SUPPORTED"), std::string::npos);
}

TEST(SkelderIdentity, FailedFirstIdentifyEndsTheRun) {
    Machine machine;
    machine.AddDriveFault({{"command", 0xEC}});
    SkelderRun run;
    run.WriteImage("fw.LOD", kMiB);
    const auto result = run.Run({kDisk, "/D:fw.LOD", "/v"}, &machine);

    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.out, "  Device Path: \\\\.\\PhysicalDrive0\n"
                          "  FileName: fw.LOD\n"
                          "  Download Immediate Mode Selected\n"
                          "CHECK CONDITION ERROR for CMD: ec Sense Buffer: 70 0 b\n"
                          "ATA IDENTIFY (0xEC) command failed [0x0]\n");
    EXPECT_EQ(Opcodes(result), (std::vector<int>{0xEC}));
    EXPECT_EQ(result.calls("CloseHandle").size(), 1u);
}

// A driver may report the whole length back for an IDENTIFY the drive refused; the buffer then
// holds nothing the drive sent, so the run ends there instead of judging the drive by it.
TEST(SkelderIdentity, AnIdentifyWithFailureBitsFailsWhateverLengthComesBack) {
    struct Case {
        int status;
        int error;
        int exit_code;
    };
    for (const Case c :
         {Case{0x51, 0x04, 1}, Case{0x70, 0x00, 1}, Case{0xD0, 0x00, 1}, Case{0x58, 0x00, 0}}) {
        SCOPED_TRACE(c.status);
        Machine machine;
        machine.Disk()["reply_transfer_length"] = 512;
        machine.AddDriveFault(
            {{"command", 0xEC}, {"status", c.status}, {"error", c.error}, {"data", "none"}});
        SkelderRun run;
        run.WriteImage("fw.LOD", kMiB);
        const auto result = run.Run({std::string("/T:") + kDisk, "/D:fw.LOD", "/s"}, &machine);
        EXPECT_EQ(result.exit_code, c.exit_code);
        EXPECT_EQ(DownloadCommands(result).empty(), c.exit_code != 0);
    }
}

TEST(SkelderIdentity, ScsiIdentityIsReadAfterTheOpen) {
    SkelderRun run;
    const auto result = run.Run({kDisk});
    const auto probes = ControlCalls(result, kScsiPassThroughDirect);
    ASSERT_GE(probes.size(), 2u);
    EXPECT_EQ(probes[0].at("cdb"), "12 00 00 00 fc 00");
    EXPECT_EQ(probes[0].at("data_in"), 1);
    EXPECT_EQ(probes[0].at("data_length"), 252);
    EXPECT_EQ(probes[1].at("cdb"), "12 01 80 00 fc 00");
    EXPECT_EQ(probes[1].at("data_length"), 252);
}

struct GateCase {
    std::uint16_t word128;
    bool l_flag;
    int exit_code; // 0: the image was sent
    const char* message;
};

TEST(SkelderSecurityGate, LockedNeverEnabledOnlyWithoutL) {
    const GateCase cases[] = {
        {0x0027, false, 6, "Err: ATA SECURITY LOCKED\n"},
        {0x0027, true, 6, "Err: ATA SECURITY LOCKED\n"},
        {0x0023, false, 0, ""},
        {0x0023, true, 6, "Err: ATA SECURITY ENABLED (SEC5)\n"},
        {0x000B, false, 0, ""},
        {0x000B, true, 6, "Err: ATA SECURITY ENABLED (SEC6)\n"},
        {0x0009, true, 0, ""},
        {0x0021, true, 0, ""},
    };
    for (const auto& gate : cases) {
        SCOPED_TRACE(testing::Message() << "word 128 " << gate.word128 << " /l " << gate.l_flag);
        Machine machine;
        machine.SetWord(128, gate.word128);
        SkelderRun run;
        const auto image = run.WriteImage("fw.LOD", kMiB);
        std::vector<std::string> arguments = {kDisk, "/D:fw.LOD", "/s"};
        if (gate.l_flag) {
            arguments.push_back("/l");
        }
        const auto quiet = run.Run(arguments, &machine);
        EXPECT_EQ(quiet.exit_code, gate.exit_code);
        if (gate.exit_code == 6) {
            EXPECT_EQ(quiet.out, "");
            EXPECT_EQ(Opcodes(quiet), (std::vector<int>{0xEC, 0x2F})) << "nothing after the gate";
            EXPECT_TRUE(quiet.calls("CloseHandle").empty());
        } else {
            EXPECT_EQ(quiet.drive_state(kDrive).at("sha256"), image.sha256);
        }

        arguments.push_back("/v");
        const auto verbose = run.Run(arguments, &machine);
        const auto security_line = verbose.out.find("  Segment Size : 64\n");
        ASSERT_NE(security_line, std::string::npos);
        const auto after_info = security_line + 20;
        EXPECT_EQ(verbose.out.substr(after_info, std::string(gate.message).size()), gate.message);
    }
}

TEST(SkelderSecurityGate, InfoRunShowsLockedDrive) {
    Machine machine;
    machine.SetWord(128, 0x0027);
    SkelderRun run;
    const auto result = run.Run({kDisk, "/i"}, &machine);
    EXPECT_EQ(result.exit_code, 10);
    EXPECT_EQ(result.out, kDefaultInfo + "  SEC4\n  Segment Size : 64\n");
}

} // namespace
} // namespace skelder_test
