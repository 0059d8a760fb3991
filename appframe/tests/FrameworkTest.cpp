// Runs the probe program (32-bit, like the programs on the framework) and reads what it
// reports of the framework's hooks and command-line splitting.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace {

struct ProbeRun {
    std::string out;
    int code = -1;
};

ProbeRun RunProbe(std::vector<std::string> args) {
    args.insert(args.begin(), APPFRAME_PROBE);
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, APPFRAME_PROBE, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    ProbeRun run;
    if (spawned != 0) {
        close(fds[0]);
        ADD_FAILURE() << "cannot start " << APPFRAME_PROBE;
        return run;
    }
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof(buffer))) > 0;) {
        run.out.append(buffer, static_cast<size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
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
