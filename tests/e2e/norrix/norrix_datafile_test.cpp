// Choosing between two datafiles by the drive's type character, and the checks made before
// the datafile is read.
#include "norrix_run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace norrix_test {
namespace {

const std::string kTarget = std::string("/T:") + kNorrixDisk;

TEST(NorrixDatafile, SecondDatafileIsChosenWhenItsFifthCharacterMatches) {
    NorrixRun run;
    run.WriteImage("ABCDXimg.bin", 1024, 1);
    const auto second = run.WriteImage("ABCDYimg.bin", 2048, 2);
    Machine machine;
    machine.SetTypeCharacter('Y');
    const auto result = run.Run({kTarget, "/D:ABCDXimg.bin", "/D2:ABCDYimg.bin", "/V"}, &machine);
    EXPECT_EQ(result.exit_code, 0) << result.out;
    EXPECT_NE(result.out.find("Found Pelagor Drive\n"
                              "Word153 = 0x5931\n"
                              "Word153[1] = Y\n"
                              "Selected datafile ABCDYimg.bin\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.drive_state(kNorrixDrive).at("sha256"), second.sha256);
}

TEST(NorrixDatafile, FirstDatafileIsKeptWhenBothMatch) {
    NorrixRun run;
    const auto first = run.WriteImage("ABCDYone.bin", 1024, 1);
    run.WriteImage("ABCDYtwo.bin", 2048, 2);
    Machine machine;
    machine.SetTypeCharacter('Y');
    const auto result = run.Run({kTarget, "/D:ABCDYone.bin", "/D2:ABCDYtwo.bin"}, &machine);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.drive_state(kNorrixDrive).at("sha256"), first.sha256);
}

TEST(NorrixDatafile, TypeIsTheFifthCharacterOfThePathAsTyped) {
    NorrixRun run;
    std::filesystem::create_directory(run.Dir() / "fw");
    // The first file's name has 'X' fifth, but its path fw\ABCDX.bin has 'B' there; the
    // second path has 'X' at index 4.
    run.WriteImage("fw/ABCDX.bin", 1024, 1);
    const auto second = run.WriteImage("fw/AXCDZ.bin", 1024, 2);
    Machine machine; // the default Norrix drive's type is 'X'
    const auto result = run.Run({kTarget, "/D:fw\\ABCDX.bin", "/D2:fw\\AXCDZ.bin"}, &machine);
    EXPECT_EQ(result.exit_code, 0) << result.out;
    EXPECT_EQ(result.drive_state(kNorrixDrive).at("sha256"), second.sha256);
}

TEST(NorrixDatafile, MismatchEndsWith7AndSendsNothing) {
    NorrixRun run;
    run.WriteImage("ABCDXimg.bin", 1024, 1);
    run.WriteImage("ABCDYimg.bin", 1024, 2);
    Machine machine;
    machine.SetTypeCharacter('Z');
    const auto result = run.Run({kTarget, "/D:ABCDXimg.bin", "/D2:ABCDYimg.bin", "/V"}, &machine);
    EXPECT_EQ(result.exit_code, 7);
    EXPECT_TRUE(DownloadCommands(result).empty());
    EXPECT_NE(result.out.find("Word153[1] = Z\n"
                              "Datafile type = X\n"
                              "Datafile type did not match\n"
                              "ERROR:Datafile not supported on this device\n"
                              "Firmware download failed, exit code = 7\n"
                              "Application exit code = 7\n"),
              std::string::npos)
        << result.out;
}

TEST(NorrixDatafile, NonAsciiTypeByteMatchesNoPath) {
    NorrixRun run;
    run.WriteImage("ABCDXimg.bin", 1024, 1);
    run.WriteImage("ABCDYimg.bin", 1024, 2);
    Machine machine;
    machine.SetTypeCharacter(static_cast<char>(0xD8));
    const auto result = run.Run({kTarget, "/D:ABCDXimg.bin", "/D2:ABCDYimg.bin"}, &machine);
    EXPECT_EQ(result.exit_code, 7);
    EXPECT_TRUE(DownloadCommands(result).empty());
}

TEST(NorrixDatafile, SingleDatafileSkipsTheTypeCheck) {
    Machine machine;
    machine.SetTypeCharacter('Z');
    NorrixRun run;
    run.WriteImage("ABCDXimg.bin", 1024);
    EXPECT_EQ(run.Run({kTarget, "/D:ABCDXimg.bin"}, &machine).exit_code, 0);
}

// With two datafiles only a matching one is ever sent; a name of fewer than five characters
// carries no type and matches none.
TEST(NorrixDatafile, ShortNamesMatchNoType) {
    struct Case {
        const char* first;
        const char* second;
        int exit_code;
        const char* sent; // null: nothing
    };
    const Case cases[] = {
        {"ABCDYimg.bin", "fw", 7, nullptr},
        {"fw", "ABCDYimg.bin", 7, nullptr},
        {"a.b", "fw", 7, nullptr},
        {"a.b", "ABCDXimg.bin", 0, "ABCDXimg.bin"},
        {"ABCDXimg.bin", "fw", 0, "ABCDXimg.bin"},
    };
    Machine machine;
    machine.SetTypeCharacter('X');
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " " + c.second);
        NorrixRun run;
        std::map<std::string, std::string> sha;
        std::uint32_t seed = 1;
        for (const char* name : {"ABCDXimg.bin", "ABCDYimg.bin", "fw", "a.b"}) {
            sha[name] = run.WriteImage(name, 1024, seed++).sha256;
        }
        const auto result = run.Run(
            {kTarget, std::string("/D:") + c.first, std::string("/D2:") + c.second}, &machine);
        EXPECT_EQ(result.exit_code, c.exit_code);
        if (c.sent == nullptr) {
            EXPECT_TRUE(DownloadCommands(result).empty());
        } else {
            EXPECT_EQ(result.drive_state(kNorrixDrive).at("sha256"), sha[c.sent]);
        }
    }
}

TEST(NorrixDatafile, SecurityEnabledEndsWith6BeforeTheDatafileIsOpened) {
    NorrixRun run; // no datafile at all: opening it would give 4
    Machine machine;
    machine.SetSecurityEnabled();
    const auto result = run.Run({kTarget, "/D:missing.bin", "/V"}, &machine);
    EXPECT_EQ(result.exit_code, 6);
    EXPECT_NE(result.out.find("Selected datafile missing.bin\n"
                              "ERROR:Security enabled on device\n"
                              "Firmware download failed, exit code = 6\n"),
              std::string::npos)
        << result.out;
    EXPECT_TRUE(DownloadCommands(result).empty());
}

TEST(NorrixDatafile, EmptyDatafileEndsWith3AfterTheDownloadStarts) {
    NorrixRun run;
    run.WriteImage("empty.bin", 0);
    const auto result = run.Run({kTarget, "/D:empty.bin"});
    EXPECT_EQ(result.exit_code, 3);
    EXPECT_EQ(result.out, "\n\n"
                          "Opening device \\\\.\\PhysicalDrive2 for update.\n"
                          "Downloading firmware.\n"
                          "Firmware download failed, exit code = 3\n");
    EXPECT_TRUE(DownloadCommands(result).empty());
}

TEST(NorrixDatafile, MissingDatafileEndsWith4) {
    NorrixRun run;
    const auto result = run.Run({kTarget, "/D:missing.bin", "/V"});
    EXPECT_EQ(result.exit_code, 4);
    EXPECT_NE(result.out.find("ERROR:Unable to open datafile missing.bin\n"), std::string::npos);
    EXPECT_EQ(result.out.find("Downloading firmware."), std::string::npos);
}

TEST(NorrixDatafile, ImageBeyondTheBlockOffsetsIsRefusedBeforeTheFirstCommand) {
    // The last 126-block chunk that can be addressed starts at block 65,520; one byte more
    // would need a chunk at block 65,646.
    constexpr std::size_t largest = 65520u * 512 + kChunk;
    NorrixRun run;
    run.WriteImage("big.bin", largest + 1);
    const auto result = run.Run({kTarget, "/D:big.bin", "/V"});
    EXPECT_EQ(result.exit_code, 3);
    EXPECT_NE(result.out.find("Downloading firmware.\n"
                              "Image of 33610753 bytes is too large for the block offsets\n"
                              "ERROR:Download failed\n"),
              std::string::npos)
        << result.out;
    EXPECT_TRUE(DownloadCommands(result).empty());
}

TEST(NorrixDatafile, DatafileOf4GiBOrMoreIsNotReadAsASmallOne) {
    NorrixRun run;
    // Sparse: 4 GiB + 1,024 bytes, which a 32-bit size would take for 1,024.
    { std::ofstream(run.Dir() / "huge.bin").put('x'); }
    std::filesystem::resize_file(run.Dir() / "huge.bin", (std::uint64_t{1} << 32) + 1024);
    const auto result = run.Run({kTarget, "/D:huge.bin", "/V"});
    EXPECT_EQ(result.exit_code, 3);
    EXPECT_NE(result.out.find("ERROR:Datafile huge.bin is too large\n"), std::string::npos);
    EXPECT_TRUE(DownloadCommands(result).empty());
}

} // namespace
} // namespace norrix_test
