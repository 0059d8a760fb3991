// capture-machine.exe, the real program, under 32-bit Wine: Wine shows no disk or controller
// that answers, so the description is empty, and the program still ends with 0.
#include "wine_run.h"

#include <gtest/gtest.h>

namespace {

TEST(CaptureMachineUnderWine, DescribesAMachineWithoutDisksAndEndsWith0) {
    const auto exe = fwu_wine::windows_binary("capture-machine.exe");
    ASSERT_TRUE(std::filesystem::exists(exe)) << exe << " is not built";
    const auto result = fwu_wine::run_under_wine(exe, {});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    const auto description = nlohmann::json::parse(result.out, nullptr, false);
    ASSERT_TRUE(description.is_object()) << result.out;
    EXPECT_EQ(description.at("elevated"), true);
    for (const char* list : {"drives", "disks", "controllers"}) {
        EXPECT_EQ(description.at(list), nlohmann::json::array()) << list;
    }
    // Wine's own \\.\PhysicalDrive0 opens but offers no pass-through: listed, not left out.
    for (const auto& device : description.at("refusing")) {
        EXPECT_EQ(device.at("request"), "IDENTIFY DEVICE") << device;
    }
}

} // namespace
