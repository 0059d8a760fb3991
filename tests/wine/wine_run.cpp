#include "wine_run.h"

#include <cstdlib>

namespace fwu_wine {

std::filesystem::path windows_binary(std::string_view name) {
    const auto x64 = std::filesystem::path(FWU_WINDOWS_X64_BIN_DIR) / std::string(name);
    if (std::filesystem::exists(x64)) {
        return x64;
    }
    return std::filesystem::path(FWU_WINDOWS_X86_BIN_DIR) / std::string(name);
}

fwu_test::run_result run_under_wine(const std::filesystem::path& exe,
                                    const std::vector<std::string>& arguments) {
    fwu_test::run_options options;
    options.command_prefix = {"wine"};
    // Wine reads the arguments in the host's character set; the host build reads them as UTF-8.
    options.env = {{"LC_ALL", "C.UTF-8"}};
    options.timeout = std::chrono::milliseconds(120'000);
    return fwu_test::run(exe, arguments, options);
}

std::string comparable(std::string text, std::string_view usage_prefix) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        result.push_back(text[i]);
    }
    // The usage line names the program up to the next blank.
    std::size_t at = 0;
    while ((at = result.find(usage_prefix, at)) != std::string::npos) {
        const std::size_t name = at + usage_prefix.size();
        const std::size_t end = result.find(' ', name);
        if (end == std::string::npos) {
            break;
        }
        result.replace(name, end - name, "<program>");
        at = name;
    }
    return result;
}

void PrintTo(const no_disk_case& c, std::ostream* os) {
    *os << c.name;
}

std::string case_name(const testing::TestParamInfo<no_disk_case>& info) {
    return std::string(info.param.name);
}

void expect_same_as_host(const std::filesystem::path& exe, const std::filesystem::path& host,
                         const no_disk_case& c) {
    ASSERT_TRUE(std::filesystem::exists(exe)) << exe << " is not built";
    fwu_test::run_options host_options;
    host_options.machine_json = R"({"disks": [], "controllers": []})";
    const auto on_host = fwu_test::run(host, c.arguments, host_options);
    const auto under_wine = run_under_wine(exe, c.arguments);

    ASSERT_FALSE(under_wine.timed_out);
    EXPECT_EQ(on_host.exit_code, c.expected_exit);
    EXPECT_EQ(under_wine.exit_code, c.expected_exit);
    EXPECT_EQ(comparable(under_wine.out, "Usage: "), comparable(on_host.out, "Usage: "));
}

} // namespace fwu_wine
