// Running a Windows binary under Wine and comparing it with its host build.
#pragma once

#include "fwu_test_support.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fwu_wine {

// The Windows build's binary of that name (e.g. "skelder.exe").
std::filesystem::path windows_binary(std::string_view name);

// Runs the .exe under Wine in a fresh directory; no simulated machine is behind it.
fwu_test::run_result run_under_wine(const std::filesystem::path& exe,
                                    const std::vector<std::string>& arguments);

// Output as both builds should agree on it: "\r\n" read as "\n", and the program name
// that a usage line shows (it differs by how each was started) replaced by "<program>".
std::string comparable(std::string text, std::string_view usage_prefix);

} // namespace fwu_wine
