// The exit codes that no other suite reaches: opening the device and the image file.
#include "skelder_run.h"

#include <gtest/gtest.h>

namespace skelder_test {
namespace {

const std::string kEcho = "  Device Path: \\\\.\\PhysicalDrive0\n"
                          "  FileName: fw.LOD\n"
                          "  Segmented Immediate Mode Selected\n";

TEST(SkelderExitCodes, NotElevatedIsAccessDenied) {
    SkelderRun run;
    const auto quiet = run.Run({kDisk, "/D:fw.LOD", "/s"}, nullptr, false);
    EXPECT_EQ(quiet.exit_code, 2);
    EXPECT_EQ(quiet.out, "");

    const auto verbose = run.Run({kDisk, "/D:fw.LOD", "/s", "/v"}, nullptr, false);
    EXPECT_EQ(verbose.exit_code, 2);
    EXPECT_EQ(verbose.out, kEcho + "CreateFileW Failed due to ACCESS DENIED error.\n"
                                   "Admin mode is required for this tool to perform.\n");
    EXPECT_TRUE(verbose.calls("CloseHandle").empty());
    EXPECT_TRUE(verbose.calls("DeviceIoControl").empty());
}

TEST(SkelderExitCodes, DiskInUseElsewhereIsSharingViolation) {
    Machine machine;
    machine.Disk()["in_use_elsewhere"] = true;
    SkelderRun run;
    const auto result = run.Run({kDisk, "/D:fw.LOD", "/s", "/v"}, &machine);
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(result.out, kEcho + "CreateFileW INVALID_HANDLE_VALUE Error: 32");
}

TEST(SkelderExitCodes, RefusedScsiAddressGives2AndClosesTheDisk) {
    Machine machine;
    machine.Refuse(kGetAddress, 1);
    SkelderRun run;
    const auto result = run.Run({kDisk, "/D:fw.LOD", "/s", "/v"}, &machine);
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(result.out, kEcho + "DeviceIoControl for IOCTL_SCSI_GET_ADDRESS Error: 1");
    EXPECT_TRUE(result.ata_commands().empty());
    EXPECT_EQ(result.calls("CloseHandle").size(), 1u);
}

TEST(SkelderExitCodes, MissingImageGives4) {
    SkelderRun run;
    const auto quiet = run.Run({kDisk, "/D:fw.LOD", "/s"});
    EXPECT_EQ(quiet.exit_code, 4);
    // The image is read before the first attempt: no attempt, no pause after it.
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, "");
    EXPECT_TRUE(DownloadCommands(quiet).empty());
    EXPECT_TRUE(quiet.calls("Sleep").empty());

    const auto verbose = run.Run({kDisk, "/D:fw.LOD", "/s", "/v"});
    EXPECT_EQ(verbose.exit_code, 4);
    EXPECT_EQ(verbose.err, "File Open Failure: No such file or directory\n");
}

TEST(SkelderExitCodes, ActivateWithoutFileGives4) {
    SkelderRun run;
    const auto result = run.Run({kDisk, "/a"});
    EXPECT_EQ(result.exit_code, 4);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(DownloadCommands(result).empty());
    EXPECT_EQ(Opcodes(result), (std::vector<int>{0xEC, 0x2F, 0xEC, 0x2F}));
}

TEST(SkelderExitCodes, ImagesTheWireCannotDescribeGive4BeforeAnyDownload) {
    struct Case {
        std::size_t size;
        const char* mode;
    };
    const Case cases[] = {
        {0, "/s"},
        {0, "/D:fw.LOD"}, // whole-image mode
        {1000, "/s"},
        {kMiB + 100, "/e"},
        {32 * kMiB, "/D:fw.LOD"}, // 65536 blocks in one command
        {32 * kMiB + 512, "/e"},  // a segment at block offset 65536
    };
    for (const auto& image : cases) {
        SCOPED_TRACE(testing::Message() << image.size << " " << image.mode);
        SkelderRun run;
        run.WriteImage("fw.LOD", image.size);
        const auto result = run.Run({kDisk, "/D:fw.LOD", image.mode, "/a", "/v"});
        EXPECT_EQ(result.exit_code, 4);
        EXPECT_TRUE(DownloadCommands(result).empty());
        EXPECT_EQ(result.err,
                  "Unsupported Firmware File Size: " + std::to_string(image.size) + "\n");
        EXPECT_EQ(result.out.find("PLEASE DO NOT CLOSE"), std::string::npos);
    }
}

// A request the disk's adapter cannot carry is refused by the port driver: the run ends with 4
// before any DOWNLOAD MICROCODE, saying which segment size fits, whatever the verbosity. An
// adapter descriptor that cannot be read leaves the run as it was.
TEST(SkelderExitCodes, ARequestTheAdapterCannotCarryGives4BeforeAnyDownload) {
    struct Case {
        std::string target;
        std::vector<std::string> options;
        nlohmann::json disk;
        int exit_code;
        std::string out;
    };
    const std::string whole_too_large =
        "The disk's adapter takes at most 131072 bytes in one request; the whole image of 1048576 "
        "bytes does not fit.\nUse /s, or /e /a, with a segment size of at most 255 blocks (/g "
        "255).\n";
    const nlohmann::json winpe = {{"max_physical_pages", 16}};
    const Case cases[] = {
        // The default adapter: 128 KiB and 33 pages.
        {kDisk, {}, nlohmann::json::object(), 4, whole_too_large},
        {std::string("/T:") + kDisk, {}, nlohmann::json::object(), 4, whole_too_large},
        {kDisk,
         {"/s", "/g", "255"},
         winpe,
         4,
         "The disk's adapter takes at most 65536 bytes in one request; a segment of 130560 bytes "
         "does not fit.\nUse a segment size of at most 128 blocks (/g 128).\n"},
        // 64 KiB segments span 17 pages where they lie in the image: each goes from a
        // page-aligned copy.
        {kDisk, {"/e", "/a", "/g", "128"}, winpe, 0, ""},
        {std::string("/T:") + kDisk, {"/s", "/g", "128"}, winpe, 0, ""},
        {kDisk, {"/s"}, {{"refuse", {{{"ioctl", "0x2D1400"}, {"error", 1}}}}}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target + " " + c.disk.dump());
        Machine machine;
        machine.Disk().update(c.disk);
        SkelderRun run;
        run.WriteImage("fw.LOD", kMiB);
        std::vector<std::string> arguments = {c.target, "/D:fw.LOD"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const auto result = run.Run(arguments, &machine);
        EXPECT_EQ(result.exit_code, c.exit_code);
        if (c.exit_code != 0) {
            EXPECT_EQ(result.out, c.out);
            EXPECT_TRUE(DownloadCommands(result).empty());
        }
    }
}

} // namespace
} // namespace skelder_test
