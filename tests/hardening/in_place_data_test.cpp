// On the direct routes the driver gets the image buffer itself: every DOWNLOAD MICROCODE
// request's data pointer lies in the buffer the program read the image file into, at the
// byte the command's block offset names. Only a padded copy of a final partial chunk may
// lie elsewhere. The simulated disk tells which in each request's trace record.
#include <fwu_test_support.h>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

// Where one data-out request's buffer lay: its offset in the image buffer, or none.
using placement = std::optional<std::size_t>;

struct in_place_case {
    std::string name;
    std::string program;
    std::vector<std::string> arguments;
    std::string image_name;
    std::size_t image_size = 0;
    std::string drive; // expects exactly the image, so the run ends in success
    std::vector<placement> expected;
};

std::ostream& operator<<(std::ostream& out, const in_place_case& c) {
    return out << c.name;
}

const std::string kDravoniPath = "\\\\?\\scsi#disk&ven_dravoni&prod_kx2000#4&2f3b1c0&0&010000#"
                                 "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";

std::vector<in_place_case> cases() {
    std::vector<in_place_case> list;
    for (const auto& [route, device] :
         {std::pair<std::string, std::string>{"scsi", R"(\\.\PhysicalDrive0)"},
          {"ata", R"(/T:\\.\PhysicalDrive0)"}}) {
        // Three blocks in segments of two: a full segment and a one-block remainder.
        list.push_back({"skelder_" + route + "_segmented",
                        "skelder",
                        {device, "/D:fw.LOD", "/s", "/g", "2"},
                        "fw.LOD",
                        3 * 512,
                        "pd0-halvern",
                        {0, 1024}});
        list.push_back({"skelder_" + route + "_deferred",
                        "skelder",
                        {device, "/D:fw.LOD", "/e", "/a", "/g", "1"},
                        "fw.LOD",
                        3 * 512,
                        "pd0-halvern",
                        {0, 512, 1024}});
        list.push_back({"skelder_" + route + "_whole",
                        "skelder",
                        {device, "/D:fw.LOD"},
                        "fw.LOD",
                        4 * 512,
                        "pd0-halvern",
                        {0}});
    }
    // Two full chunks in place; the final 100 bytes go padded to a block, from a copy.
    constexpr std::size_t chunk = 0xFC00;
    list.push_back({"norrix_sata",
                    "norrixupdater",
                    {R"(/T:\\.\PhysicalDrive2)", "/D:fw.bin"},
                    "fw.bin",
                    2 * chunk + 100,
                    "pd2-norrix",
                    {0, chunk, std::nullopt}});
    // One block a command; the padded last block starts inside the image buffer too.
    list.push_back({"marlisk_ata",
                    "marlisk",
                    {"/t:" + kDravoniPath, "/d:fw.bin", "/r:0"},
                    "fw.bin",
                    3 * 512 + 100,
                    "pd1-dravoni",
                    {0, 512, 1024, 1536}});
    return list;
}

class InPlaceData : public testing::TestWithParam<in_place_case> {};

TEST_P(InPlaceData, EachDownloadRequestHandsOverTheImageBufferItself) {
    const auto& c = GetParam();
    const auto program = fwu_test::program_path(c.program);
    ASSERT_FALSE(program.empty()) << c.program << " is not built";
    fwu_test::temp_dir dir;
    const auto image = fwu_test::write_image(dir / c.image_name, c.image_size, 7);
    // A final partial block reaches the drive padded with zeros.
    auto received = image.bytes;
    received.resize((received.size() + 511) / 512 * 512, 0);
    auto machine = fwu_test::default_machine();
    for (auto& drive : machine.at("drives")) {
        if (drive.value("id", "") == c.drive) {
            drive["microcode"]["expected_length"] = received.size();
        }
    }
    fwu_test::run_options options;
    options.working_dir = dir.path();
    options.machine_json = machine.dump();
    options.env = {{"WINSIM_MUTEX_DIR", (dir / "mutexes").string()}};
    const auto result = fwu_test::run(program, c.arguments, options);
    ASSERT_EQ(result.exit_code, 0) << result.out << result.err;
    EXPECT_EQ(result.drive_state(c.drive).value("sha256", ""), fwu_test::sha256_hex(received));

    std::vector<placement> seen;
    for (const auto& call : result.calls("DeviceIoControl")) {
        if (!call.contains("data_in_image")) {
            continue; // not a direct request that sends data
        }
        if (call.at("data_in_image").get<bool>()) {
            seen.emplace_back(call.at("data_image_offset").get<std::size_t>());
        } else {
            seen.emplace_back(std::nullopt);
        }
    }
    EXPECT_EQ(seen, c.expected);
}

INSTANTIATE_TEST_SUITE_P(DirectRoutes, InPlaceData, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<in_place_case>& param_info) {
                             return param_info.param.name;
                         });

} // namespace
