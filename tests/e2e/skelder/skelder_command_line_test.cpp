// Command line, banner, usage and the echo of the chosen settings.
#include "skelder_run.h"

#include <gtest/gtest.h>

#include <regex>

namespace skelder_test {
namespace {

const std::string kEquals(74, '=');

void ExpectStartsWith(const std::string& text, const std::string& start) {
    EXPECT_EQ(text.substr(0, start.size()), start);
}

// The banner's four lines; the build date is checked for its form only.
void ExpectBannerAt(const std::string& out, std::size_t& position) {
    const std::regex banner(kEquals +
                            "\nHalvern Utility\\. Version: 1\\.0\\.3 Build Date: [A-Z][a-z]{2} "
                            "[1-9][0-9]? [0-9]{4}\n[^\n]+\n" +
                            kEquals + "\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(out, match, banner, std::regex_constants::match_continuous))
        << out;
    position = static_cast<std::size_t>(match.length(0));
}

void ExpectBannerAndUsage(const fwu_test::run_result& result) {
    std::size_t after_banner = 0;
    ExpectBannerAt(result.out, after_banner);
    EXPECT_EQ(result.out.substr(after_banner), UsageText());
    EXPECT_EQ(result.exit_code, 8);
    EXPECT_TRUE(result.calls("CreateFileW").empty());
}

TEST(SkelderCommandLine, NoArgumentPrintsBannerAndUsage) {
    SkelderRun run;
    ExpectBannerAndUsage(run.Run({}));
}

TEST(SkelderCommandLine, HelpPrintsBannerAndUsage) {
    for (const char* help : {"/h", "/H", "/help", "/?"}) {
        SCOPED_TRACE(help);
        SkelderRun run;
        ExpectBannerAndUsage(run.Run({help, "/D:fw.LOD"}));
    }
}

// A command-line error prints its message and the usage without banner, opens nothing.
void ExpectCommandLineError(const std::vector<std::string>& arguments, const std::string& message) {
    SCOPED_TRACE(arguments.back());
    SkelderRun run;
    const auto result = run.Run(arguments);
    EXPECT_EQ(result.out, message + UsageText());
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exit_code, 8);
    EXPECT_TRUE(result.calls("CreateFileW").empty());
}

TEST(SkelderCommandLine, UnrecognisedOptionsAreRefused) {
    ExpectCommandLineError({kDisk, "/V"}, "\nError in command line at /V\n");
    ExpectCommandLineError({kDisk, "/D:fw.LOD", "/S"}, "\nError in command line at /S\n");
    ExpectCommandLineError({kDisk, "--scan"}, "\nError in command line at --scan\n");
    ExpectCommandLineError({kDisk, "fw.LOD"}, "\nError in command line at fw.LOD\n");
}

TEST(SkelderCommandLine, CsmiTargetWithoutColonOrCommaIsRefused) {
    ExpectCommandLineError({"/C:2", "/D:fw.LOD"}, "Invalid Command Line Option: /C:2\n");
}

TEST(SkelderCommandLine, NumbersAfterGAndRMustBeThere) {
    ExpectCommandLineError({kDisk, "/D:fw.LOD", "/g"}, "\nNumber missing after /g\n");
    ExpectCommandLineError({kDisk, "/r"}, "\nNumber missing after /r\n");
    ExpectCommandLineError({kDisk, "/r", "many"}, "\nInvalid number after /r: many\n");
    ExpectCommandLineError({kDisk, "/g", "4294967360"}, "\nInvalid number after /g: 4294967360\n");
    ExpectCommandLineError({kDisk, "/r", "-2147483649"},
                           "\nInvalid number after /r: -2147483649\n");
}

TEST(SkelderCommandLine, OverlongPathsAreRefused) {
    const std::string name(260, 'f');
    ExpectCommandLineError({name},
                           "\nDevice path too long (259 characters at most) in " + name + "\n");
    ExpectCommandLineError({"/T:" + name},
                           "\nDevice path too long (259 characters at most) in /T:" + name + "\n");
    ExpectCommandLineError({kDisk, "/D:" + name},
                           "\nFile name too long (259 characters at most) in /D:" + name + "\n");
}

TEST(SkelderCommandLine, SasAddressNotExactlySixteenHexDigitsIsRefused) {
    // A digit read as 0, or one too many, would name another drive of the controller.
    for (const std::string address :
         {"000000050000000", "00000005000000x0", "000000050000000Z", "00000005000000022"}) {
        ExpectCommandLineError({"/C:2," + address, "/D:fw.LOD", "/s"},
                               "\nInvalid SAS address (16 hexadecimal digits expected) in /C:2," +
                                   address + "\n");
    }
}

TEST(SkelderCommandLine, VerboseEchoesTheChosenSettings) {
    SkelderRun run;
    const auto result = run.Run({"/T:\\\\.\\PhysicalDrive9", "/D:fw.LOD", "/e", "/v"});
    EXPECT_EQ(result.out, "  Device Path: \\\\.\\PhysicalDrive9\n"
                          "  FileName: fw.LOD\n"
                          "  Deferred Mode Selected\n"
                          "CreateFileW INVALID_HANDLE_VALUE Error: 2");
    EXPECT_EQ(result.exit_code, 2);

    SkelderRun segmented;
    EXPECT_EQ(segmented.Run({"\\\\.\\PhysicalDrive9", "/e", "/sx", "/vv"}).out,
              "  Device Path: \\\\.\\PhysicalDrive9\n"
              "  FileName: \n"
              "  Segmented Immediate Mode Selected\n"
              "CreateFileW INVALID_HANDLE_VALUE Error: 2");
}

TEST(SkelderCommandLine, CsmiFormsAreEchoed) {
    SkelderRun address;
    const auto by_address = address.Run({"/C:2,0000000500000000", "/D:fw.LOD", "/e", "/a", "/v"});
    ExpectStartsWith(by_address.out, "  Device Path: \\\\.\\SCSI2:-1\n"
                                     "  SAS Address: 00 00 00 05 00 00 00 00\n"
                                     "  FileName: fw.LOD\n"
                                     "  Deferred Mode Selected\n");

    SkelderRun phy;
    const auto by_phy = phy.Run({"/C:\\\\.\\SCSI3:1", "/vv"});
    ExpectStartsWith(by_phy.out, "  Device Path: \\\\.\\SCSI3:1\n"
                                 "  SAS Address: 00 00 00 00 00 00 00 00\n"
                                 "  FileName: \n"
                                 "  Download Immediate Mode Selected\n");

    SkelderRun controller;
    ExpectStartsWith(controller.Run({"/C:12,5000C50000000004", "/v"}).out,
                     "  Device Path: \\\\.\\SCSI12:-1\n"
                     "  SAS Address: 50 00 c5 00 00 00 00 04\n");
}

TEST(SkelderCommandLine, FirstArgumentIsAlwaysTheTarget) {
    SkelderRun run;
    const auto result = run.Run({"/D:fw.LOD", "/v"});
    EXPECT_EQ(result.out, "  Device Path: /D:fw.LOD\n"
                          "  FileName: \n"
                          "  Download Immediate Mode Selected\n"
                          "CreateFileW INVALID_HANDLE_VALUE Error: 2");
    EXPECT_EQ(result.exit_code, 2);
}

} // namespace
} // namespace skelder_test
