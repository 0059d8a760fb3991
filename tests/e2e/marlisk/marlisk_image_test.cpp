// The image file: where it is looked up, the revision name taken from its name, and images
// the program refuses before it touches the disk.
#include "marlisk_run.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace marlisk_test;

namespace {

// The built program copied into a folder of the test's own, so files can lie beside it.
std::filesystem::path program_in(const marlisk_run& m) {
    const auto folder = m.dir / "program";
    std::filesystem::create_directories(folder);
    const auto copy = folder / "marlisk";
    std::filesystem::copy_file(fwu_test::program_path("marlisk"), copy,
                               std::filesystem::copy_options::overwrite_existing);
    return copy;
}

std::string new_version_text(const fwu_test::run_result& result) {
    for (const auto& event : window_events(result)) {
        if (event.value("control", 0) == 1013) {
            return event.at("value");
        }
    }
    return {};
}

void sparse_file(const std::filesystem::path& path, std::uintmax_t size) {
    std::ofstream(path, std::ios::binary).put('x');
    std::filesystem::resize_file(path, size);
}

} // namespace

TEST(MarliskImage, TheDefaultImageIsFoundBesideTheProgram) {
    marlisk_run m;
    m.program = program_in(m);
    const auto image = fwu_test::write_image(m.dir / "program" / "VOKA0101.enc", 3 * 512);
    const auto result = m.run({"/t:" + kDravoniPath});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.drive_state(kDravoniDrive).at("sha256"), image.sha256);
    EXPECT_EQ(new_version_text(result), "<VOKA0101>");
}

TEST(MarliskImage, TheCurrentDirectoryComesFirstAndAFolderThereDoesNotCount) {
    marlisk_run m;
    m.program = program_in(m);
    const auto beside = fwu_test::write_image(m.dir / "program" / "fw.bin", 2 * 512, 1);
    const auto here = m.image("fw.bin", 2 * 512, 2);
    auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.drive_state(kDravoniDrive).at("sha256"), here.sha256);

    std::filesystem::remove(m.dir / "fw.bin");
    std::filesystem::create_directory(m.dir / "fw.bin");
    result = m.run({"/t:" + kDravoniPath, "/d:fw.bin"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.drive_state(kDravoniDrive).at("sha256"), beside.sha256);

    std::filesystem::remove(m.dir / "program" / "fw.bin");
    result = m.run({"/t:" + kDravoniPath, "/d:fw.bin"});
    EXPECT_EQ(result.exit_code, 4);
}

TEST(MarliskImage, TheRevisionNameIsTheNameBeforeItsLastPoint) {
    struct name_case {
        std::string file;
        std::string shown;
    };
    for (const auto& [file, shown] :
         std::vector<name_case>{{"fw.v2.bin", "<fw.v2>"},
                                {"KX20B002", "<KX20B002>"},
                                {"sub\\KX20B002.enc", "<sub\\KX20B002>"},
                                {"a_very_long_firmware_name.enc", "<a_very_long_firmw>"}}) {
        marlisk_run m;
        std::filesystem::create_directory(m.dir / "sub");
        m.image(file == "sub\\KX20B002.enc" ? "sub/KX20B002.enc" : file, 512);
        const auto result = m.run({"/t:" + kDravoniPath, "/d:" + file});
        EXPECT_EQ(result.exit_code, 0) << file;
        EXPECT_EQ(new_version_text(result), shown) << file;
    }
}

TEST(MarliskImage, ImagesBeyond16BitBlockOffsetsAreRefusedBeforeTheDiskOpens) {
    // 32 MiB and one byte needs block offset 65536; a file of 4 GiB and 512 bytes must not
    // pass for a 512-byte one.
    for (const std::uintmax_t size :
         {std::uintmax_t{32} * 1024 * 1024 + 1, std::uintmax_t{4} * 1024 * 1024 * 1024 + 512}) {
        marlisk_run m;
        sparse_file(m.dir / "fw.bin", size);
        const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin", "/l"});
        EXPECT_EQ(result.exit_code, 32) << size;
        EXPECT_TRUE(downloads(result).empty());
        for (const auto& open : result.calls("CreateFileW")) {
            EXPECT_NE(open.value("share", -1), 0) << open.dump();
        }
        EXPECT_EQ(m.log(), kLogHeader + path_lines(kDravoniPath, kDravoniPath) +
                               "### ERROR!! <Firmware file size error> ###\r\n"
                               "ExitCode = 32\r\n"
                               "FwUpdate Fail!!\r\n");
    }
}

TEST(MarliskImage, AnImageThatCannotBeOpenedEndsWith30AndNamesThePath) {
    marlisk_run m;
    // A wildcard passes the lookup (some file matches) and then fails to open.
    m.image("fw1.bin", 512);
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw?.bin", "/l"});
    EXPECT_EQ(result.exit_code, 30);
    EXPECT_TRUE(downloads(result).empty());
    const std::string log = m.log();
    EXPECT_NE(log.find("### ERROR!! <CreateFile() handle create error> ###\r\n"
                       "chFirmwareFileName = fw?.bin\r\n"
                       "ExitCode = 30\r\n"),
              std::string::npos)
        << log;
}
