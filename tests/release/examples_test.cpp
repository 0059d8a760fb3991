// The example machines of the release archives do what their names say, for each program:
// a deployment script rehearsed on them meets the outcome their description promises.
#include <fwu_test_support.h>

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

namespace {

const std::string kDravoniPath = "\\\\?\\scsi#disk&ven_dravoni&prod_kx2000#4&2f3b1c0&0&010000#"
                                 "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";

struct program_run {
    const char* program;
    std::vector<std::string> arguments;
    std::size_t image_size;
    const char* route = ""; // names a run other than the program's main job
};

const program_run kSkelder{"skelder", {"\\\\.\\PhysicalDrive0", "/D:fw.bin", "/s"}, 1 << 20};
const program_run kNorrix{"norrixupdater", {"/T:\\\\.\\PhysicalDrive2", "/D:fw.bin"}, 200000};
const program_run kMarlisk{"marlisk", {"/t:" + kDravoniPath, "/d:fw.bin"}, 40000};
// The other routes, where an example machine differs there.
const program_run kSkelderAta{
    "skelder", {"/T:\\\\.\\PhysicalDrive0", "/D:fw.bin", "/s"}, 1 << 20, "ata"};
const program_run kSkelderDeferred{
    "skelder", {"\\\\.\\PhysicalDrive0", "/D:fw.bin", "/e", "/a"}, 1 << 20, "deferred"};
const program_run kSkelderCsmi{
    "skelder", {"/C:\\\\.\\SCSI2:0", "/D:fw.bin", "/e", "/a"}, 1 << 20, "csmi"};
const program_run kNorrixCsmi{
    "norrixupdater", {"/C:2,0000000500000002", "/D:fw.bin"}, 200000, "csmi"};
const program_run kMarliskCsmi{"marlisk", {"/c:1,0000000500000001", "/d:fw.bin"}, 40000, "csmi"};

struct example_case {
    const char* machine;
    const program_run* run;
    int exit_code;
};

// Each machine with each program (docs/machine-format.md, Example machines).
// clang-format off
const example_case kCases[] = {
    {"default-machine.json", &kSkelder, 0},
    {"default-machine.json", &kNorrix, 0},
    {"default-machine.json", &kMarlisk, 0},
    {"locked-drives.json", &kSkelder, 6},
    {"locked-drives.json", &kNorrix, 6},
    {"locked-drives.json", &kMarlisk, 6},
    {"third-download-fails.json", &kSkelder, 1},
    {"third-download-fails.json", &kNorrix, 4},
    {"third-download-fails.json", &kMarlisk, 0}, // its next attempt succeeds
    {"busy-drives.json", &kSkelder, 1},
    {"busy-drives.json", &kNorrix, 0}, // it waits
    {"busy-drives.json", &kMarlisk, 5},
    {"ide-mode-controller.json", &kSkelder, 0},
    {"ide-mode-controller.json", &kNorrix, 0},
    {"ide-mode-controller.json", &kMarlisk, 3},
    {"another-copy-running.json", &kSkelder, 0},
    {"another-copy-running.json", &kNorrix, 0},
    {"another-copy-running.json", &kMarlisk, 3},
    {"winpe-adapter.json", &kSkelder, 0},
    {"winpe-adapter.json", &kNorrix, 0},  // its chunks go from page-aligned copies
    {"winpe-adapter.json", &kMarlisk, 0},
    {"strict-sat.json", &kSkelder, 0},
    {"strict-sat.json", &kSkelderDeferred, 0}, // the activate command carries no data
    {"strict-sat.json", &kNorrix, 0},
    {"strict-sat.json", &kMarlisk, 0},
    {"sat-without-ck-cond.json", &kSkelder, 0}, // each command again without CK_COND
    {"sat-without-ck-cond.json", &kNorrix, 0},
    {"sat-without-ck-cond.json", &kMarlisk, 0},
    {"driver-answers-50.json", &kSkelder, 0},
    {"driver-answers-50.json", &kSkelderAta, 9},
    {"driver-answers-50.json", &kNorrix, 1},
    {"driver-answers-50.json", &kMarlisk, 5},
    {"csmi-timeout-zero-expires.json", &kSkelderCsmi, 0},
    {"csmi-timeout-zero-expires.json", &kNorrixCsmi, 0},
    {"csmi-timeout-zero-expires.json", &kMarliskCsmi, 0},
};
// clang-format on

// Names the case in test listings.
void PrintTo(const example_case& example, std::ostream* out) {
    *out << example.run->program << " " << example.run->route << " on " << example.machine;
}

class ExampleMachine : public testing::TestWithParam<example_case> {};

TEST_P(ExampleMachine, GivesTheProgramItsDocumentedOutcome) {
    const auto& example = GetParam();
    fwu_test::temp_dir dir;
    fwu_test::write_image(dir / "fw.bin", example.run->image_size);
    fwu_test::run_options options;
    options.machine_path = std::string(FWU_SOURCE_DIR) + "/examples/" + example.machine;
    options.working_dir = dir.path();
    options.env.emplace_back("WINSIM_MUTEX_DIR", (dir / "mutexes").string());
    const auto result = fwu_test::run(fwu_test::program_path(example.run->program),
                                      example.run->arguments, options);
    EXPECT_EQ(result.exit_code, example.exit_code) << result.out;
    // The typical runs pass on the default machine without a request its rules refuse.
    if (std::string(example.machine) == "default-machine.json") {
        for (const auto& call : result.calls("DeviceIoControl")) {
            EXPECT_FALSE(call.contains("refused_by")) << call.dump();
        }
    }
}

std::string case_name(const testing::TestParamInfo<example_case>& info) {
    const std::string route = info.param.run->route;
    std::string name = std::string(info.param.run->program) + (route.empty() ? "" : "_" + route) +
                       "_on_" + info.param.machine;
    for (auto& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) {
            ch = '_';
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleMachine, testing::ValuesIn(kCases), case_name);

} // namespace
