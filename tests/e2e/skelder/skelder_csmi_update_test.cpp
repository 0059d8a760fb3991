// The update run through a CSMI controller: both "/C:" forms, the STP requests on the
// wire, choosing the phy, and how the drive's and the driver's answers are judged.
#include "skelder_csmi_machine.h"

#include <gtest/gtest.h>

namespace skelder_test {
namespace {

const std::string kDownloadFis = "27 80 92 0e";
const std::string kActivateFis = "27 80 92 0f";

bool StartsWith(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

// The deferred download of a 1 MiB image and its activation, as the wire shows them.
void ExpectDeferredUpdateOf(const fwu_test::run_result& result, const fwu_test::image_file& image,
                            const std::string& drive) {
    EXPECT_EQ(result.exit_code, 0) << result.out;
    std::vector<nlohmann::json> downloads, activations;
    for (const auto& request : CsmiRequests(result, kStpCode)) {
        EXPECT_EQ(request.at("signature"), "CSMISAS");
        EXPECT_EQ(request.at("length"), request.at("in_len").get<int>() - 28);
        const std::string fis = request.at("fis");
        if (StartsWith(fis, kDownloadFis)) {
            downloads.push_back(request);
        } else if (StartsWith(fis, kActivateFis)) {
            activations.push_back(request);
        }
    }
    ASSERT_EQ(downloads.size(), 32u);
    for (std::size_t i = 0; i < downloads.size(); ++i) {
        EXPECT_EQ(downloads[i].at("in_len"), 168 + 32768);
        EXPECT_EQ(downloads[i].at("flags"), 0x12);
        EXPECT_EQ(downloads[i].at("data_length"), 32768);
        // Count 64 blocks, offset in blocks in LBA mid and high.
        const std::string fis = downloads[i].at("fis");
        const auto offset = i * 64;
        char expected[64];
        std::snprintf(expected, sizeof expected, "27 80 92 0e 00 %02zx %02zx", offset & 0xFF,
                      offset >> 8);
        EXPECT_TRUE(StartsWith(fis, expected)) << fis;
        EXPECT_EQ(fis.substr(36, 5), "40 00") << fis; // count 64, count_ext 0
    }
    ASSERT_EQ(activations.size(), 1u);
    EXPECT_EQ(activations[0].at("in_len"), 168);
    EXPECT_EQ(activations[0].at("flags"), 0x14); // PIO, no data direction
    EXPECT_EQ(activations[0].at("fis").get<std::string>().substr(0, 41),
              "27 80 92 0f 00 00 00 40 00 00 00 00 00 00"); // count and LBA 7:0 both 0
    EXPECT_EQ(activations[0].at("data_length"), 0);
    const auto state = result.drive_state(drive);
    EXPECT_EQ(state.at("sha256"), image.sha256);
    EXPECT_EQ(state.at("activated"), 1);
}

TEST(SkelderCsmiUpdate, AddressFormUpdatesTheSataDrive) {
    SkelderRun run;
    const auto image = run.WriteImage("fw.LOD", kMiB);
    const auto result = CsmiMachine().Run(
        run, {std::string("/C:2,") + kCsmiAddress, "/D:fw.LOD", "/e", "/a", "/v"});
    ExpectDeferredUpdateOf(result, image, kCsmiDrive);
    EXPECT_NE(result.out.find("SAS Address for Phy: 0 match.\n\n"
                              "CSMI_SAS_PROTOCOL_SATA supported for Phy: 0\n\n"),
              std::string::npos)
        << result.out;
    // Every command went to phy 0's attached address; no other drive saw one.
    for (const auto& ata : result.ata_commands()) {
        EXPECT_EQ(ata.at("drive"), kCsmiDrive);
        EXPECT_EQ(ata.at("route"), "stp");
        EXPECT_EQ(ata.at("destination"), kCsmiAddress);
    }
}

TEST(SkelderCsmiUpdate, ColonFormUpdatesThroughThePhyNumber) {
    SkelderRun run;
    const auto image = run.WriteImage("fw.LOD", kMiB);
    const auto result =
        CsmiMachine().Run(run, {R"(/C:\\.\scsi2:1)", "/D:fw.LOD", "/e", "/a", "/v"});
    ExpectDeferredUpdateOf(result, image, "scsi2-phy1-dravoni");
    EXPECT_NE(result.out.find("CSMI_SAS_PROTOCOL_STP supported for Phy: 1\n\n"), std::string::npos);
    const auto requests = CsmiRequests(result, kStpCode);
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].at("phy"), 1);
    EXPECT_EQ(requests[0].at("port"), 1);
    // No request carries Timeout 0, which a driver may expire at once.
    EXPECT_EQ(requests[0].at("timeout"), 5);
    EXPECT_EQ(requests[0].at("in_len"), 680);
    EXPECT_EQ(requests[0].at("flags"), 0x11);
}

TEST(SkelderCsmiUpdate, TheLastMatchingPhyWinsAndUnqualifiedEntriesNeverMatch) {
    CsmiMachine machine;
    // Phy 3 leads to the same address as phy 0; phy 2 has it too but nothing identified.
    machine.Phy(3)["attached"] = {
        {"device_type", 1}, {"target_protocol", "stp"}, {"sas_address", kCsmiAddress}};
    machine.Phy(2)["device_type"] = 0;
    machine.Phy(2)["attached"]["sas_address"] = "0000000500000002";
    SkelderRun run;
    const auto result = machine.Run(run, {std::string("/C:2,") + kCsmiAddress, "/v"});
    EXPECT_EQ(result.exit_code, 0) << result.out;
    EXPECT_NE(result.out.find("SAS Address for Phy: 0 match.\n\nSAS Address for Phy: 3 match.\n\n"
                              "CSMI_SAS_PROTOCOL_STP supported for Phy: 3\n\n"),
              std::string::npos)
        << result.out;
    for (const auto& request : CsmiRequests(result, kStpCode)) {
        EXPECT_EQ(request.at("phy"), 3);
        EXPECT_EQ(request.at("port"), 3);
    }

    SkelderRun unqualified;
    const auto refused = machine.Run(unqualified, {"/C:2,0000000500000002"});
    EXPECT_EQ(refused.exit_code, 10);
    EXPECT_NE(refused.out.find("Device Opened but SAS Address does not match any attached phy \n"),
              std::string::npos)
        << refused.out;
    EXPECT_TRUE(refused.ata_commands().empty());
}

TEST(SkelderCsmiUpdate, LowercaseLIgnoresThePhyTable) {
    SkelderRun run;
    const auto result = CsmiMachine().Run(run, {"/C:2,0000000500000002", "/l"});
    EXPECT_EQ(result.exit_code, 0) << result.out;
    EXPECT_EQ(CsmiRequests(result, 20).size(), 1u); // still asked for
    const auto requests = CsmiRequests(result, kStpCode);
    ASSERT_FALSE(requests.empty());
    for (const auto& request : requests) {
        EXPECT_EQ(request.at("phy"), 0);
        EXPECT_EQ(request.at("port"), 0);
        EXPECT_EQ(request.at("destination"), "0000000500000002");
    }
    // The controller routes by address: the Norrix drive on phy 2 answered.
    EXPECT_EQ(result.ata_commands().at(0).at("drive"), "scsi2-phy2-norrix");
}

// The phy form names no address for "/l" to use: the phy number chooses the drive, and "/l"
// only refuses a drive whose security is enabled. Phy 3 here leads to a drive that reports
// address 0, as a directly attached SATA drive can.
TEST(SkelderCsmiUpdate, LowercaseLWithThePhyFormKeepsThePhyNumber) {
    CsmiMachine machine;
    machine.Phy(3)["attached"] = {{"device_type", 1},
                                  {"target_protocol", "sata"},
                                  {"sas_address", "0000000000000000"},
                                  {"drive", "scsi2-phy1-dravoni"}};
    SkelderRun run;
    const auto image = run.WriteImage("fw.LOD", kMiB);
    const std::string target = std::string("/C:") + kController + "0";
    const auto result = machine.Run(run, {target, "/D:fw.LOD", "/e", "/a", "/l"});
    ExpectDeferredUpdateOf(result, image, kCsmiDrive);
    for (const auto& request : CsmiRequests(result, kStpCode)) {
        EXPECT_EQ(request.at("destination"), kCsmiAddress);
    }
    for (const auto& ata : result.ata_commands()) {
        EXPECT_EQ(ata.at("drive"), kCsmiDrive);
    }

    machine.Drive(kCsmiDrive)["identify"]["words"]["128"] = "0x0003"; // security enabled
    SkelderRun enabled;
    enabled.WriteImage("fw.LOD", kMiB);
    const auto refused = machine.Run(enabled, {target, "/D:fw.LOD", "/e", "/a", "/l"});
    EXPECT_EQ(refused.exit_code, 6);
    EXPECT_TRUE(DownloadCommands(refused).empty());
}

TEST(SkelderCsmiUpdate, PhysThatServeNoSataDriveAreRefused) {
    struct Case {
        std::string target;
        std::string expected;
    };
    const Case cases[] = {
        {R"(/C:\\.\SCSI2:3)", "Device Opened but Phy 3 not valid.\n"},
        {R"(/C:\\.\SCSI2:4)", "CSMI_SAS_PROTOCOL_SSP supported for Phy: 4\n"},
        {R"(/C:\\.\SCSI7:0)", "Error: Opening Device \\\\.\\SCSI7:\n"},
    };
    for (const auto& each : cases) {
        SkelderRun run;
        const auto result = CsmiMachine().Run(run, {each.target, "/v"});
        EXPECT_EQ(result.exit_code, 10) << each.target;
        EXPECT_NE(result.out.find(each.expected), std::string::npos) << result.out;
        EXPECT_TRUE(result.ata_commands().empty()) << each.target;
    }

    // A phy number that is not 0 to 31 in decimal digits never reaches the controller: "1O"
    // meant 10 (the Dravoni drive is on phy 1), "-1" would search for address 0.
    for (const char* phy : {"1O", "-1", "32", "0x2"}) {
        SkelderRun run;
        const auto result =
            CsmiMachine().Run(run, {std::string(R"(/C:\\.\SCSI2:)") + phy, "/D:fw.LOD"});
        EXPECT_EQ(result.exit_code, 8) << phy;
        EXPECT_NE(result.out.find("Invalid phy number (0 to 31 expected)"), std::string::npos)
            << result.out;
        EXPECT_TRUE(result.calls("CreateFileW").empty()) << phy;
    }

    CsmiMachine unknown;
    unknown.Phy(0)["attached"]["target_protocol"] = 2; // SMP
    SkelderRun run;
    const auto result = unknown.Run(run, {R"(/C:\\.\SCSI2:0)"});
    EXPECT_EQ(result.exit_code, 10);
    EXPECT_NE(result.out.find("Uknown Protocol 0x02 for Phy: 0\n"), std::string::npos)
        << result.out;
}

TEST(SkelderCsmiUpdate, APhyTableThatCannotBeReadEndsTheRun) {
    CsmiMachine machine;
    machine.AddFault({{"request", "phy_info"}, {"error", 1117}});
    SkelderRun run;
    const auto result = machine.Run(run, {R"(/C:\\.\SCSI2:0)"});
    EXPECT_EQ(result.exit_code, 10);
    EXPECT_NE(result.out.find("Could not get CSMI phy information for \\\\.\\SCSI2:\n"),
              std::string::npos)
        << result.out;
}

// A drive that aborts DOWNLOAD MICROCODE is a device error, not a success.
TEST(SkelderCsmiUpdate, ADriveErrorInTheStatusFisFailsTheDownload) {
    CsmiMachine machine;
    machine.Drive(kCsmiDrive)["faults"] = {
        {{"command", 0x92}, {"times", 1000}, {"status", 0x51}, {"error", 0x04}}};
    SkelderRun run;
    run.WriteImage("fw.LOD", kMiB);
    const auto result = machine.Run(run, {R"(/C:\\.\SCSI2:0)", "/D:fw.LOD", "/e", "/a", "/v"});
    EXPECT_EQ(result.exit_code, 1) << result.out;
    EXPECT_NE(result.out.find("issue_stp_passthru: CMD=0x92 device error. Status=0x51 "
                              "Error=0x04\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find("Firmware Update succeeded"), std::string::npos);
    EXPECT_EQ(result.drive_state(kCsmiDrive).at("activated"), 0);
}

// Behind a driver that leaves the status part zero, a segment the drive aborted looks like one
// it took: no download counts there, and nothing is activated.
TEST(SkelderCsmiUpdate, AStatusPartLeftZeroFailsTheDownload) {
    CsmiMachine machine;
    machine.Controller()["returns_status_fis"] = false;
    machine.Drive(kCsmiDrive)["faults"] = {{{"command", 0x92}, {"nth", 2}}};
    SkelderRun run;
    run.WriteImage("fw.LOD", kMiB);
    const auto result = machine.Run(run, {R"(/C:\\.\SCSI2:0)", "/D:fw.LOD", "/e", "/a", "/v"});
    EXPECT_EQ(result.exit_code, 1) << result.out;
    EXPECT_NE(result.out.find("issue_stp_passthru: CMD=0x92 no status returned.\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(DownloadCommands(result).size(), 1u);
    EXPECT_EQ(result.drive_state(kCsmiDrive).at("activated"), 0);
}

// An open reject means the command never reached the drive.
TEST(SkelderCsmiUpdate, AConnectionRejectFailsTheCommand) {
    CsmiMachine machine;
    machine.AddFault(
        {{"request", "stp"}, {"ata_command", 0x92}, {"times", 1000}, {"connection_status", 4}});
    SkelderRun run;
    run.WriteImage("fw.LOD", kMiB);
    const auto result = machine.Run(run, {R"(/C:\\.\SCSI2:0)", "/D:fw.LOD", "/e", "/v"});
    EXPECT_EQ(result.exit_code, 10) << result.out;
    EXPECT_NE(result.out.find("issue_stp_passthru: CMD=0x92 not delivered. bConnectionStatus=4\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(DownloadCommands(result).size(), 0u);
}

// A driver that refuses the request: the failure line is printed even without "/v", and
// the IDENTIFY data are not taken from the refused request.
TEST(SkelderCsmiUpdate, ADriverRefusalIsReportedWithoutVerbose) {
    CsmiMachine machine;
    machine.AddFault({{"request", "stp"}, {"ata_command", 0xEC}, {"return_code", 1}});
    SkelderRun run;
    const auto result = machine.Run(run, {R"(/C:\\.\SCSI2:0)"});
    EXPECT_EQ(result.exit_code, 10);
    // A call that succeeded leaves the last error as it was; only the rest of the line is fixed.
    const auto line = result.out.find("issue_stp_passthru: CMD=0xec failed. ioret=1 GetLastErr=0x");
    ASSERT_NE(line, std::string::npos) << result.out;
    EXPECT_NE(result.out.find(", IoctlHeader->ReturnCode=1\n", line), std::string::npos);

    CsmiMachine failing;
    failing.AddFault({{"request", "stp"}, {"error", 1117}});
    SkelderRun second;
    const auto failed = failing.Run(second, {R"(/C:\\.\SCSI2:0)"});
    EXPECT_EQ(failed.exit_code, 10);
    EXPECT_NE(failed.out.find("issue_stp_passthru: CMD=0xec failed. ioret=0 GetLastErr=0x45d, "
                              "IoctlHeader->ReturnCode=0\n"),
              std::string::npos)
        << failed.out;
}

TEST(SkelderCsmiUpdate, DoubleVerboseDumpsEachRequestAndItsStatus) {
    SkelderRun run;
    run.WriteImage("fw.LOD", 512);
    const auto result =
        CsmiMachine().Run(run, {R"(/C:\\.\SCSI2:1)", "/D:fw.LOD", "/e", "/a", "/vv"});
    EXPECT_EQ(result.exit_code, 0) << result.out;
    const std::string activate_dump = "Allocated 168 bytes for cmd 0x92\n------\n\n"
                                      "bPhyIdentifier=0x01\nbPortIdentifier=0x01\n"
                                      "bConnectionRate=0x00\nuFlags=0x14\nuDataLength=0x0\n"
                                      "FIS:\n-----\n\t[0]=0x27\n\t[1]=0x80\n\t[2]=0x92\n"
                                      "\t[3]=0x0f\n\t[4]=0x00\n";
    const auto dump = result.out.find(activate_dump);
    ASSERT_NE(dump, std::string::npos) << result.out;
    // The rest of the FIS, one byte a line, then the destination and the status FIS.
    EXPECT_NE(result.out.find("\t[19]=0x00\n-----\n"
                              "\t\tSAS Address: 0x00 0x00 0x00 0x05 0x00 0x00 0x00 0x01 \n"
                              "------\n\nStatus FIS:\n-----\n\t[0]=0x34\n\t[1]=0x40\n"
                              "\t[2]=0x50\n\t[3]=0x00\n",
                              dump),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("Allocated 680 bytes for cmd 0xec\n"), std::string::npos);
}

} // namespace
} // namespace skelder_test
