// The built-in default machine (examples/default-machine.json, embedded at build time) holds
// what each program's main job needs.
#include "machine_fixture.h"

#include <gtest/gtest.h>

namespace winsim {
namespace {

TEST(DefaultMachine, TheHalvernDriveActivatesASegmentedOneMebibyteImage) {
    testing::machine_test sim(default_machine_description());
    const auto id = sim.open_exclusive();
    ASSERT_NE(id, 0u);
    std::vector<std::uint8_t> image(1 << 20, 0xA5);
    for (std::uint32_t offset = 0; offset < 2048; offset += 64) {
        auto block = testing::make_sptd({0x85, 0x0A, 0x06, 0, 0x03, 0, 64, 0, 0, 0,
                                         static_cast<std::uint8_t>(offset & 0xFF), 0,
                                         static_cast<std::uint8_t>(offset >> 8), 0x40, 0x92, 0},
                                        0, image.data() + offset * 512, 32768);
        block.header.TimeOutValue = 30; // the last segment activates, which takes 8 s here
        ASSERT_EQ(sim.control(id, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block), 0u);
        ASSERT_EQ(block.header.ScsiStatus, 0) << "offset " << offset;
    }
    const auto* halvern = sim.machine().find_drive("pd0-halvern");
    ASSERT_NE(halvern, nullptr);
    EXPECT_EQ(halvern->activations(), 1u);
    EXPECT_EQ(halvern->microcode(), image);
    EXPECT_EQ(halvern->firmware(), "HT10A002");
}

TEST(DefaultMachine, ListsTheDrivesAndDevicesEachProgramExpects) {
    const auto description = default_machine_description();
    testing::machine_test sim(description);
    for (const wchar_t* name :
         {L"\\\\.\\PhysicalDrive0", L"\\\\.\\PhysicalDrive1", L"\\\\.\\PhysicalDrive2"}) {
        EXPECT_EQ(sim.machine().open(name, GENERIC_READ | GENERIC_WRITE, 3).error, 0u);
    }
    const auto* dravoni = sim.machine().find_drive("pd1-dravoni");
    ASSERT_NE(dravoni, nullptr);
    EXPECT_EQ(ata_text(dravoni->identify_words(), 27, 5), "DRAVONI KX");
    const auto* norrix = sim.machine().find_drive("pd2-norrix");
    ASSERT_NE(norrix, nullptr);
    EXPECT_NE(norrix->identify_words()[153] >> 8, 0) << "datafile type character";
    const auto* halvern = sim.machine().find_drive("pd0-halvern");
    EXPECT_EQ(halvern->identify_words()[128] & 0x0006, 0) << "security neither enabled nor locked";
    EXPECT_EQ(description["controllers"][0]["names"][0], "\\\\.\\SCSI2:");
    EXPECT_EQ(description["controllers"][0]["phys"].size(), 5u);
    EXPECT_EQ(description["setup_devices"][0]["class"], "hdc");
    EXPECT_EQ(description["setup_devices"][0]["description"], "Standard SATA AHCI Controller");
}

} // namespace
} // namespace winsim
