// "--scan": the report's texts with and without "/v", what it counts, and that every
// device line it prints reaches its drive when pasted into "/C:".
#include "skelder_csmi_machine.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace skelder_test {
namespace {

const std::string kScanning = "\tScanning for CSMI Devices\n\n";
const std::string kWmicHint = "To Scan the system for Physical Devices please use the following:\n"
                              "\t wmic diskdrive get DeviceID,model,FirmwareRevision,InterfaceType"
                              "\n\n";
const std::string kEqualsRow = std::string(47, '=');

// The report after the banner's four lines.
std::string Report(const std::string& out) {
    std::size_t position = 0;
    for (int line = 0; line < 4 && position != std::string::npos; ++line) {
        position = out.find('\n', position);
        if (position != std::string::npos) {
            ++position;
        }
    }
    return position == std::string::npos ? std::string() : out.substr(position);
}

fwu_test::run_result Scan(const nlohmann::json& machine, const std::vector<std::string>& extra) {
    std::vector<std::string> arguments = {"--scan"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    fwu_test::run_options options;
    options.machine_json = machine.dump();
    return fwu_test::run(ProgramPath(), arguments, options);
}

TEST(SkelderCsmiScan, QuietReportOfTheDefaultMachine) {
    const auto result = Scan(fwu_test::default_machine(), {});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(Report(result.out), kScanning +
                                      "\\\\.\\SCSI2:0 # HV1000A0000002,HALVERN HT1000,HT10A001\n"
                                      "SAS Address (Attached): 0000000500000000\n"
                                      "SAS Address (Identify): 5000000000000100\n\n"
                                      "\\\\.\\SCSI2:1 # DV2000B0000002,DRAVONI KX2000,KX20B001\n"
                                      "SAS Address (Attached): 0000000500000001\n"
                                      "SAS Address (Identify): 5000000000000101\n\n"
                                      "\\\\.\\SCSI2:2 # NX500C0000002,NORRIX NX500,NX50C001\n"
                                      "SAS Address (Attached): 0000000500000002\n"
                                      "SAS Address (Identify): 5000000000000102\n\n"
                                      // The SAS target is probed, never listed.
                                      "SAS Address: 0x50 0x00 0xc5 0x00 0x00 0x00 0x00 0x04 \n" +
                                      kWmicHint);
    // Only IDENTIFY DEVICE (STP, 15 seconds) and INQUIRY (SSP) went out.
    const auto stp = CsmiRequests(result, kStpCode);
    ASSERT_EQ(stp.size(), 3u);
    for (const auto& request : stp) {
        EXPECT_EQ(request.at("timeout"), 15);
        EXPECT_EQ(request.at("in_len"), 680);
    }
    const auto ssp = CsmiRequests(result, 24);
    ASSERT_EQ(ssp.size(), 1u);
    EXPECT_EQ(ssp[0].at("in_len"), 468);
    EXPECT_EQ(ssp[0].at("cdb"), "12 00 00 00 60 00");
    for (const auto& ata : result.ata_commands()) {
        EXPECT_EQ(ata.at("command"), 0xEC);
    }
}

TEST(SkelderCsmiScan, VerboseReportShowsControllerPhysAndTotals) {
    const auto result = Scan(fwu_test::default_machine(), {"/v"});
    EXPECT_EQ(result.exit_code, 0);
    const auto report = Report(result.out);
    const std::string start = kScanning + "\\\\.\\SCSI0:...NOT FOUND\n"
                                          "\\\\.\\SCSI1:...NOT FOUND\n"
                                          "\\\\.\\SCSI2:...FOUND\n"
                                          "\n***********************************************\n"
                                          "\t\\\\.\\SCSI2:\n"
                                          "\tBoardID: 268439552\n"
                                          "\tControllerFlags: 1\n"
                                          "\n***********************************************\n"
                                          "\t\\\\.\\SCSI2:\n"
                                          "\tDriver: simsas\n"
                                          "\tDescription: Simulated SAS RAID Controller Driver\n"
                                          "\tVersion: 2.1\n"
                                          "\tCSMI Version: 0.82\n"
                                          "\tRelease: 0\n"
                                          "\n\tTotal Number of Phys: 5\n\n"
                                          "Phy 0 \n\tbPortIdentifier: 0x00\n";
    EXPECT_EQ(report.substr(0, start.size()), start) << report;
    const std::string phy0_tail = "\tIDENTIFY:\n"
                                  "\t\tbDeviceType: 0x01\n"
                                  "\t\tbRestricted: 0x00\n"
                                  "\t\tbInitiatorPortProtocol: 0x0d\n"
                                  "\t\tbTargetPortProtocol: 0x00\n"
                                  "\t\tbPhyIdentifier: 0x00\n"
                                  "\t\tbSignalClass: 0x00\n"
                                  "\t\tSAS Address: 0x50 0x00 0x00 0x00 0x00 0x00 0x01 0x00 \n"
                                  "\tCSMI_SAS_PROTOCOL_SATA supported for Phy: 0 0x1\n"
                                  "\tCSMI_SAS_PROTOCOL_STP supported for Phy: 0\n\n"
                                  "\tDrive Serial Number: HV1000A0000002\n"
                                  "\tDrive Model Number: HALVERN HT1000\n"
                                  "\tDrive Firmware Rev: HT10A001\n\n"
                                  "\tATA Security Word: 0x1\n"
                                  "\tATA Security State: SEC1\n"
                                  "\\\\.\\SCSI2:0 # HV1000A0000002,HALVERN HT1000,HT10A001\n";
    EXPECT_NE(report.find(phy0_tail), std::string::npos) << report;
    EXPECT_NE(report.find("\tCSMI_SAS_PROTOCOL_STP supported for Phy: 1\n\n\tDrive Serial"),
              std::string::npos);
    EXPECT_NE(report.find("Phy 3 Skipping...nothing attached\n"), std::string::npos);
    EXPECT_NE(report.find("CSMI_SAS_PROTOCOL_SSP supported for Phy: 4\n"
                          "SAS Address: 0x50 0x00 0xc5 0x00 0x00 0x00 0x00 0x04 \n"),
              std::string::npos);
    EXPECT_NE(report.find("Phy 31 Skipping...nothing identified\n\\\\.\\SCSI3:...NOT FOUND\n"),
              std::string::npos);
    const std::string end = "\\\\.\\SCSI14:...NOT FOUND\n\n" + kEqualsRow +
                            "\n\nFound 1 CSMI Controller(s) and 3 CSMI device(s)\n\n" + kWmicHint;
    ASSERT_GE(report.size(), end.size());
    EXPECT_EQ(report.substr(report.size() - end.size()), end) << report;
}

TEST(SkelderCsmiScan, MachineWithoutControllers) {
    const nlohmann::json empty = nlohmann::json::object();
    const auto quiet = Scan(empty, {});
    EXPECT_EQ(quiet.exit_code, 0);
    EXPECT_EQ(Report(quiet.out), kScanning + kWmicHint);

    const auto verbose = Scan(empty, {"/v"});
    EXPECT_EQ(verbose.exit_code, 0);
    std::string expected = kScanning;
    for (int number = 0; number < 15; ++number) {
        expected += "\\\\.\\SCSI" + std::to_string(number) + ":...NOT FOUND\n";
    }
    expected += "\n" + kEqualsRow +
                "\n\nTested 0 valid controller(s) but didn't find any CSMI devices\n\n" + kWmicHint;
    EXPECT_EQ(Report(verbose.out), expected);
}

TEST(SkelderCsmiScan, ControllersThatAnswerNoCsmiOrHaveNoDrives) {
    CsmiMachine silent;
    silent.AddFault({{"request", "config"}, {"error", 1}});
    silent.AddFault({{"request", "driver_info"}, {"error", 1}});
    const auto tested = Scan(silent.Json(), {"/v"});
    EXPECT_EQ(tested.exit_code, 0);
    EXPECT_NE(tested.out.find("Getting CSMI CNTLR info failed. \\\\.\\SCSI2:\n\n"
                              "Getting CSMI Driver info failed. \\\\.\\SCSI2:\n\n"
                              "\\\\.\\SCSI3:...NOT FOUND\n"),
              std::string::npos)
        << tested.out;
    EXPECT_NE(tested.out.find("Tested 1 valid controller(s) but didn't find any CSMI devices\n"),
              std::string::npos);
    EXPECT_TRUE(CsmiRequests(tested, 20).empty());

    CsmiMachine empty;
    empty.Controller()["phys"] = nlohmann::json::array();
    const auto found = Scan(empty.Json(), {"/v"});
    EXPECT_NE(found.out.find("\tTotal Number of Phys: 0\n"), std::string::npos);
    EXPECT_NE(found.out.find("Found 1 CSMI Controller(s) and 0 CSMI device(s)\n"),
              std::string::npos)
        << found.out;
}

TEST(SkelderCsmiScan, EveryTableEntryIsExaminedWhateverTheReportedCount) {
    CsmiMachine machine;
    machine.Controller()["number_of_phys"] = 1;
    machine.Controller()["names"] = {"\\\\.\\SCSI12:"};
    machine.Phy(2)["phy"] = 5; // the Norrix drive moves to phy 5
    const auto result = Scan(machine.Json(), {"/v"});
    EXPECT_NE(result.out.find("\tTotal Number of Phys: 1\n"), std::string::npos);
    EXPECT_NE(result.out.find("\tATA Security Word: 0x1\n\tATA Security State: SEC1\n"
                              "\\\\.\\SCSI12:5 # NX500C0000002,NORRIX NX500,NX50C001\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("Found 1 CSMI Controller(s) and 3 CSMI device(s)\n"),
              std::string::npos);
}

TEST(SkelderCsmiScan, FailedProbesSkipThePhyWithoutStoppingTheScan) {
    CsmiMachine machine;
    machine.AddFault({{"request", "stp"}, {"nth", 1}, {"error", 1117}});
    machine.AddFault({{"request", "ssp"}, {"error", 21}});
    const auto quiet = Scan(machine.Json(), {});
    EXPECT_EQ(quiet.exit_code, 0);
    const auto report = Report(quiet.out);
    // The driver's refusal prints whatever the verbosity; the phy is then skipped.
    EXPECT_EQ(report.find("issue_stp_passthru: CMD=0xec failed. ioret=0 GetLastErr=0x45d, "
                          "IoctlHeader->ReturnCode=0\n"),
              kScanning.size())
        << report;
    EXPECT_EQ(report.find("\\\\.\\SCSI2:0 #"), std::string::npos);
    EXPECT_NE(report.find("\\\\.\\SCSI2:1 #"), std::string::npos);
    EXPECT_NE(report.find("SSP command FAILED with GetLastError 21\n"), std::string::npos);

    const auto verbose = Scan(machine.Json(), {"/v"});
    EXPECT_NE(verbose.out.find("\tCSMI:2:0 STP command FAILED with GetLastError 1117 to Phy[0] "
                               "Port[0]\n\n"),
              std::string::npos);
    EXPECT_NE(verbose.out.find("Found 1 CSMI Controller(s) and 2 CSMI device(s)\n"),
              std::string::npos);
}

// IDENTIFY data of a command the drive failed are not taken: the drive is not listed.
TEST(SkelderCsmiScan, ADriveThatFailsIdentifyIsNotListed) {
    CsmiMachine machine;
    machine.Drive(kCsmiDrive)["faults"] = {{{"command", 0xEC}, {"status", 0x51}, {"error", 4}}};
    const auto quiet = Scan(machine.Json(), {});
    EXPECT_EQ(quiet.exit_code, 0);
    EXPECT_EQ(quiet.out.find("\\\\.\\SCSI2:0 #"), std::string::npos) << quiet.out;
    EXPECT_NE(quiet.out.find("\\\\.\\SCSI2:1 #"), std::string::npos);

    const auto verbose = Scan(machine.Json(), {"/v"});
    EXPECT_NE(verbose.out.find("issue_stp_passthru: CMD=0xec device error. Status=0x51 "
                               "Error=0x04\n\tCSMI:2:0 STP command FAILED"),
              std::string::npos)
        << verbose.out;
    EXPECT_NE(verbose.out.find("Found 1 CSMI Controller(s) and 2 CSMI device(s)\n"),
              std::string::npos);
}

// Each device line of the report, pasted into "/C:" in either form, updates its drive.
TEST(SkelderCsmiScan, DeviceLinesReachTheirDrives) {
    const auto machine = fwu_test::default_machine();
    std::map<std::string, std::string> drive_of_serial;
    for (const auto& drive : machine.at("drives")) {
        drive_of_serial[drive.at("identify").at("serial")] = drive.at("id");
    }
    const auto scan = Scan(machine, {});
    std::istringstream lines(scan.out);
    int lines_used = 0;
    for (std::string line; std::getline(lines, line);) {
        const auto hash = line.find(" # ");
        if (line.rfind("\\\\.\\SCSI", 0) != 0 || hash == std::string::npos) {
            continue;
        }
        std::string attached;
        std::getline(lines, attached);
        const std::string prefix = "SAS Address (Attached): ";
        ASSERT_EQ(attached.substr(0, prefix.size()), prefix);
        const std::string serial = line.substr(hash + 3, line.find(',', hash) - hash - 3);
        const std::string drive = drive_of_serial.at(serial);
        const std::string controller = line.substr(8, line.find(':') - 8);
        for (const std::string& target :
             {"/C:" + line.substr(0, hash),
              "/C:" + controller + "," + attached.substr(prefix.size())}) {
            SkelderRun run;
            const auto image = run.WriteImage("fw.LOD", kMiB, 7);
            const auto result = CsmiMachine().Run(run, {target, "/D:fw.LOD", "/e", "/a"});
            EXPECT_EQ(result.exit_code, 0) << target << "\n" << result.out;
            EXPECT_EQ(result.drive_state(drive).at("sha256"), image.sha256) << target;
            EXPECT_EQ(result.drive_state(drive).at("activated"), 1) << target;
            for (const auto& ata : result.ata_commands()) {
                EXPECT_EQ(ata.at("drive"), drive) << target;
            }
        }
        ++lines_used;
    }
    EXPECT_EQ(lines_used, 3);
}

} // namespace
} // namespace skelder_test
