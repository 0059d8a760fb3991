// The CSMI bus: the drive behind controller \\.\SCSI2:, reached by its SAS address with STP
// pass-through.
#include "norrix_run.h"

#include <gtest/gtest.h>

namespace norrix_test {
namespace {

const std::string kController = std::string("/C:2,") + kCsmiNorrixAddress;
constexpr std::size_t kCsmiChunk = 2560;

std::vector<nlohmann::json> StpRequests(const fwu_test::run_result& result) {
    std::vector<nlohmann::json> requests;
    for (const auto& call : result.calls("DeviceIoControl")) {
        if (call.at("ioctl") == "0x4D008") {
            requests.push_back(call);
        }
    }
    return requests;
}

TEST(NorrixCsmi, ControllerRunSendsFiveBlockChunksThroughStp) {
    NorrixRun run;
    const auto image = run.WriteImage("fw.bin", 4 * kCsmiChunk + 3 * 512);
    const auto result = run.Run({kController, "/D:fw.bin"});
    EXPECT_EQ(result.out, "\n\n"
                          "Opening device \\\\.\\Scsi2: for update.\n"
                          "Downloading firmware.\n"
                          "Firmware download success\n");
    EXPECT_EQ(result.exit_code, 0);

    const auto commands = DownloadCommands(result);
    ASSERT_EQ(commands.size(), 5u);
    for (size_t i = 0; i < commands.size(); ++i) {
        EXPECT_EQ(commands[i].at("route"), "stp");
        EXPECT_EQ(commands[i].at("drive"), kCsmiNorrixDrive);
        EXPECT_EQ(commands[i].at("features"), 0x0E);
        EXPECT_EQ(BlockOffset(commands[i]), 5 * static_cast<int>(i));
        EXPECT_EQ(BlockCount(commands[i]), i < 4 ? 5 : 3);
    }
    const auto drive = result.drive_state(kCsmiNorrixDrive);
    EXPECT_EQ(drive.at("sha256"), image.sha256);
    EXPECT_EQ(result.drive_state(kNorrixDrive).at("received"), 0);
}

TEST(NorrixCsmi, RequestBlocksCarryTheRegisterFisAndTheData) {
    NorrixRun run;
    run.WriteImage("fw.bin", kCsmiChunk);
    const auto result = run.Run({kController, "/D:fw.bin"});
    ASSERT_EQ(result.exit_code, 0);
    const auto requests = StpRequests(result);
    ASSERT_EQ(requests.size(), 2u);
    // IDENTIFY: STP read PIO, count 1, the data area after 168 bytes of request.
    EXPECT_EQ(requests[0].at("signature"), "CSMISAS");
    EXPECT_EQ(requests[0].at("csmi_code"), 25);
    EXPECT_EQ(requests[0].at("timeout"), 300);
    EXPECT_EQ(requests[0].at("flags"), 0x11);
    EXPECT_EQ(requests[0].at("in_len"), 168 + 512);
    EXPECT_EQ(requests[0].at("out_len"), 168 + 512);
    EXPECT_EQ(requests[0].at("length"), 168 + 512 - 28);
    EXPECT_EQ(requests[0].at("fis"), "27 80 ec 00 00 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00");
    EXPECT_EQ(requests[0].at("destination"), kCsmiNorrixAddress);
    // The download: STP write PIO with the chunk inside the request.
    EXPECT_EQ(requests[1].at("flags"), 0x12);
    EXPECT_EQ(requests[1].at("data_length"), kCsmiChunk);
    EXPECT_EQ(requests[1].at("in_len"), 168 + kCsmiChunk);
    EXPECT_EQ(requests[1].at("fis"), "27 80 92 0e 00 00 00 00 00 00 00 00 05 00 00 00 00 00 00 00");
    EXPECT_EQ(result.calls("CreateFileW").at(0).at("share"), 3);
}

TEST(NorrixCsmi, FinalPartialChunkIsPaddedToAWholeBlock) {
    NorrixRun run;
    auto image = run.WriteImage("fw.bin", 2 * kCsmiChunk + 1);
    const auto result = run.Run({kController, "/D:fw.bin"});
    EXPECT_EQ(result.exit_code, 0);
    const auto commands = DownloadCommands(result);
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(BlockOffset(commands[2]), 10);
    EXPECT_EQ(BlockCount(commands[2]), 1);
    EXPECT_EQ(commands[2].at("length"), 512);
    image.bytes.resize(2 * kCsmiChunk + 512, 0);
    EXPECT_EQ(result.drive_state(kCsmiNorrixDrive).at("sha256"), fwu_test::sha256_hex(image.bytes));
}

// A digit too many or too few, or one that is no hexadecimal digit (once read as 0), could
// address another drive of the controller: nothing is sent.
TEST(NorrixCsmi, AddressMustBeSixteenHexDigitsAndIsCheckedAfterTheControllerOpened) {
    const std::pair<std::string, std::string> cases[] = {{"000000050000002", "length"},
                                                         {"00000005000000020", "length"},
                                                         {"2", "length"},
                                                         {"0000000500000g02", "digit"},
                                                         {"000000050000000Z", "digit"}};
    for (const auto& [address, problem] : cases) {
        NorrixRun run;
        run.WriteImage("fw.bin", 1024);
        const auto result = run.Run({"/C:2," + address, "/D:fw.bin", "/V"});
        EXPECT_EQ(result.exit_code, 8) << address;
        EXPECT_NE(result.out.find("Opening device \\\\.\\Scsi2: for update.\n"
                                  "Invalid SAS address " +
                                  problem +
                                  "\n"
                                  "ERROR:SAS address must be 16 hexadecimal digits\n"),
                  std::string::npos)
            << result.out;
        EXPECT_EQ(result.out.find("Open device failed"), std::string::npos) << result.out;
        EXPECT_EQ(result.calls("CreateFileW").size(), 1u) << address;
        EXPECT_EQ(result.calls("CloseHandle").size(), 1u) << address;
        EXPECT_TRUE(StpRequests(result).empty()) << address;
    }
}

TEST(NorrixCsmi, AddressThatReachesNoDriveFailsInsteadOfSucceeding) {
    NorrixRun run;
    run.WriteImage("fw.bin", 1024);
    const auto result = run.Run({"/C:2,0000000500000009", "/D:fw.bin", "/V"});
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_NE(result.out.find("STP connection failed, bConnectionStatus = 0x3\n"
                              "ERROR:Identify device failed\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find("success"), std::string::npos);
    EXPECT_TRUE(result.ata_commands().empty());
}

TEST(NorrixCsmi, RejectedConnectionDuringTheDownloadEndsWith1) {
    NorrixRun run;
    run.WriteImage("fw.bin", 4 * kCsmiChunk);
    Machine machine;
    machine.AddControllerFault({{"request", "stp"}, {"nth", 3}, {"connection_status", 4}});
    const auto result = run.Run({kController, "/D:fw.bin"}, &machine);
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(DownloadCommands(result).size(), 1u);
    EXPECT_NE(result.out.find("Firmware download failed, exit code = 1\n"), std::string::npos);
}

TEST(NorrixCsmi, DriverReturnCodeEndsWith1WithoutReadingTheDrive) {
    NorrixRun run;
    run.WriteImage("fw.bin", 1024);
    Machine machine;
    machine.AddControllerFault({{"request", "stp"}, {"return_code", 3}});
    const auto result = run.Run({kController, "/D:fw.bin", "/V"}, &machine);
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_NE(result.out.find("CSMI call failed, ReturnCode = 0x3\n"
                              "ERROR:Identify device failed\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find("status = "), std::string::npos);
}

// A device fault (DF) fails the command with ERR clear too; only ERR with ABRT gives 4.
TEST(NorrixCsmi, DriveErrorsGive4WhenAbortedElse5) {
    struct Case {
        int status;
        int error;
        int exit_code;
    };
    for (const Case c : {Case{0x51, 0x04, 4}, Case{0x51, 0x10, 5}, Case{0x70, 0x00, 5},
                         Case{0x60, 0x04, 5}, Case{0x71, 0x04, 4}}) {
        NorrixRun run;
        run.WriteImage("fw.bin", 2 * kCsmiChunk);
        Machine machine;
        machine.AddDriveFault(
            {{"command", 0x92}, {"nth", 2}, {"status", c.status}, {"error", c.error}},
            kCsmiNorrixDrive);
        const auto result = run.Run({kController, "/D:fw.bin", "/V"}, &machine);
        EXPECT_EQ(result.exit_code, c.exit_code) << c.status;
        EXPECT_EQ(result.drive_state(kCsmiNorrixDrive).at("received"), kCsmiChunk);
        char line[100];
        std::snprintf(line, sizeof line, "status = 0x%x, error = 0x%x\nERROR:Download failed\n",
                      c.status, c.error);
        EXPECT_NE(result.out.find(line), std::string::npos) << result.out;
    }
}

TEST(NorrixCsmi, SecurityEnabledEndsWith6) {
    NorrixRun run;
    Machine machine;
    machine.SetSecurityEnabled(kCsmiNorrixDrive);
    const auto result = run.Run({kController, "/D:missing.bin"}, &machine);
    EXPECT_EQ(result.exit_code, 6);
    EXPECT_TRUE(DownloadCommands(result).empty());
}

TEST(NorrixCsmi, ControllerThatDoesNotOpenEndsWith2) {
    NorrixRun run;
    run.WriteImage("fw.bin", 1024);
    const auto result = run.Run({"/C:7,0000000500000002", "/D:fw.bin", "/V"});
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.out.find("Opening device \\\\.\\Scsi7: for update.\n"
                              "Unable to open device, GetLastError = 0x2\n"
                              "ERROR:Open device failed\n"),
              std::string::npos)
        << result.out;
}

} // namespace
} // namespace norrix_test
