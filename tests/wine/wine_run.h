// Running a Windows binary under Wine and comparing it with its host build.
#pragma once

#include "fwu_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace fwu_wine {

// The Windows builds' binary of that name (e.g. "skelder.exe"), from the tree of its bitness.
std::filesystem::path windows_binary(std::string_view name);

// Runs the .exe under Wine in a fresh directory; no simulated machine is behind it.
fwu_test::run_result run_under_wine(const std::filesystem::path& exe,
                                    const std::vector<std::string>& arguments);

// Output as both builds should agree on it: "\r\n" read as "\n", and the program name
// that a usage line shows (it differs by how each was started) replaced by "<program>".
std::string comparable(std::string text, std::string_view usage_prefix);

// A run that reaches no disk: the same arguments to the .exe under Wine and to the host build
// on an empty machine (Wine has no simulated devices either).
struct no_disk_case {
    const char* name;
    std::vector<std::string> arguments;
    int expected_exit;
};

void PrintTo(const no_disk_case& c, std::ostream* os);
std::string case_name(const testing::TestParamInfo<no_disk_case>& info);

// Both must exit with the case's code and print the same output.
void expect_same_as_host(const std::filesystem::path& exe, const std::filesystem::path& host,
                         const no_disk_case& c);

} // namespace fwu_wine
