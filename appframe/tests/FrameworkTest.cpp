// Runs the probe program (32-bit, like the programs on the framework) and reads what it
// reports of the framework's hooks and command-line splitting.
#include "fwu_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ProbeRun {
    std::string out;
    int code = -1;
};

ProbeRun RunProbe(const std::vector<std::string>& args) {
    const auto result = fwu_test::run(APPFRAME_PROBE, args);
    return {result.out, result.exit_code};
}

TEST(AppframeFramework, HooksRunInOrderAndTheQuitCodeIsTheExitCode) {
    const ProbeRun run = RunProbe({"quit=7"});
    EXPECT_EQ(run.out, "InitInstance show=5 instance=1\n"
                       "param [quit=7] flag=0 last=1\n"
                       "file [quit=7]\n"
                       "Run\n"
                       "ExitInstance 7\n");
    EXPECT_EQ(run.code, 7);
}

TEST(AppframeFramework, FailedStartSkipsRunButStillExits) {
    const ProbeRun run = RunProbe({"fail-init", "quit=3"});
    EXPECT_NE(run.out.find("ExitInstance 0\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Run\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.code, 0);
}

TEST(AppframeFramework, WithoutArgumentsParseParamIsNeverCalled) {
    const ProbeRun run = RunProbe({});
    EXPECT_EQ(run.out.find("param"), std::string::npos) << run.out;
    EXPECT_EQ(run.code, 0);
}

TEST(AppframeFramework, ArgumentsAreSplitByWindowsRulesAndLoseOneLeadingSlashOrDash) {
    const ProbeRun run = RunProbe({"/T:a b", "-x", "//y", "plain", "quit=0", "/"});
    EXPECT_NE(run.out.find("param [T:a b] flag=1 last=0\n"
                           "param [x] flag=1 last=0\n"
                           "param [/y] flag=1 last=0\n"
                           "param [plain] flag=0 last=0\n"
                           "param [quit=0] flag=0 last=0\n"
                           "param [] flag=1 last=1\n"),
              std::string::npos)
        << run.out;
    // The default ParseParam takes the first argument that is not a flag as the file name.
    EXPECT_NE(run.out.find("file [plain]\n"), std::string::npos) << run.out;
}

TEST(AppframeFramework, QuotesAndBackslashesSurviveTheRoundTrip) {
    const ProbeRun run = RunProbe({"/D:\"quoted\" \\\\server\\share\\", "quit=1"});
    EXPECT_NE(run.out.find("param [D:\"quoted\" \\\\server\\share\\] flag=1 last=0\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.code, 1);
}

} // namespace
