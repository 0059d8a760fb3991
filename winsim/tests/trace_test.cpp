// The trace's fixed keys, which every end-to-end suite reads.
#include "machine_fixture.h"

#include <winsim/sha256.h>

#include <gtest/gtest.h>

namespace winsim {
namespace {

using testing::machine_test;
using testing::make_sptd;

TEST(TraceRecords, DeviceCallsCarryCallTargetIoctlLengthsOkAndError) {
    machine_test sim;
    const auto id = sim.open_exclusive(L"\\\\.\\physicalDRIVE0");
    std::vector<std::uint8_t> data(512);
    auto block = make_sptd({0x85, 0x08, 0x0E, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xEC, 0}, 1,
                           data.data(), 512);
    sim.control(id, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block);
    sim.machine().close(id);
    sim.machine().open(L"\\\\.\\PhysicalDrive9", GENERIC_READ, 3);

    const auto records = sim.trace();
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0]["call"], "CreateFileW");
    EXPECT_EQ(records[0]["target"], "\\\\.\\physicalDRIVE0");
    EXPECT_EQ(records[0]["ok"], true);
    EXPECT_EQ(records[0]["error"], 0);
    EXPECT_EQ(records[1]["call"], "ata");
    const auto& control = records[2];
    EXPECT_EQ(control["call"], "DeviceIoControl");
    EXPECT_EQ(control["ioctl"], "0x4D014");
    EXPECT_EQ(control["in_len"], 312);
    EXPECT_EQ(control["out_len"], 312);
    EXPECT_EQ(control["ok"], true);
    EXPECT_EQ(control["error"], 0);
    EXPECT_EQ(control["cdb"], "85 08 0e 00 00 00 01 00 00 00 00 00 00 00 ec 00");
    EXPECT_EQ(control["scsi_status"], 0);
    EXPECT_EQ(records[3]["call"], "CloseHandle");
    EXPECT_EQ(records[4]["ok"], false);
    EXPECT_EQ(records[4]["error"], 2);
}

TEST(TraceRecords, AtaRecordsShowRegistersDirectionLengthDataHashAndAnswer) {
    machine_test sim;
    const auto id = sim.open_exclusive();
    std::vector<std::uint8_t> segment(64 * 512, 0x5A);
    auto block = make_sptd({0x85, 0x0B, 0x06, 0x00, 0x03, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0x00, 0x40, 0x92, 0x00},
                           0, segment.data(), static_cast<std::uint32_t>(segment.size()));
    sim.control(id, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block);
    const auto ata = sim.trace("ata").at(0);
    for (const char* key :
         {"call", "drive", "route", "command", "features", "count", "lba_low", "lba_mid",
          "lba_high", "device", "ext", "dir", "length", "sha256", "status", "error"}) {
        EXPECT_TRUE(ata.contains(key)) << key;
    }
    EXPECT_EQ(ata["drive"], "d0");
    EXPECT_EQ(ata["route"], "sat16");
    EXPECT_EQ(ata["command"], 0x92);
    EXPECT_EQ(ata["features"], 3);
    EXPECT_EQ(ata["count"], 0x40);
    EXPECT_EQ(ata["device"], 0x40);
    EXPECT_EQ(ata["ext"], nlohmann::json::array({0, 0, 0, 0, 0}));
    EXPECT_EQ(ata["dir"], "out");
    EXPECT_EQ(ata["length"], 32768);
    EXPECT_EQ(ata["sha256"], sha256_hex(segment));
    EXPECT_EQ(ata["status"], 0x50);
    EXPECT_EQ(ata["error"], 0);
}

TEST(TraceRecords, SleepAndExitRecordsCarryTimeAndEachDriveSState) {
    machine_test sim;
    sim.machine().sleep(2000);
    sim.machine().record_exit(6);
    const auto sleeps = sim.trace("Sleep");
    ASSERT_EQ(sleeps.size(), 1u);
    EXPECT_EQ(sleeps[0]["ms"], 2000);
    const auto exit = sim.trace("exit").at(0);
    EXPECT_EQ(exit["code"], 6);
    EXPECT_EQ(exit["virtual_ms"], 2000);
    ASSERT_EQ(exit["drives"].size(), 1u);
    const auto& drive = exit["drives"][0];
    EXPECT_EQ(drive["id"], "d0");
    EXPECT_EQ(drive["received"], 0);
    EXPECT_EQ(drive["sha256"], sha256_hex(std::vector<std::uint8_t>{}));
    EXPECT_EQ(drive["activated"], 0);
    EXPECT_EQ(drive["firmware"], "HT10A001");
}

TEST(Sha256Digest, MatchesThePublishedTestVectors) {
    EXPECT_EQ(sha256_hex(std::vector<std::uint8_t>{}),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const std::string abc = "abc";
    EXPECT_EQ(sha256_hex(std::vector<std::uint8_t>(abc.begin(), abc.end())),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string two_blocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(sha256_hex(std::vector<std::uint8_t>(two_blocks.begin(), two_blocks.end())),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    sha256 pieces;
    const std::vector<std::uint8_t> a(1000, 'a');
    for (int i = 0; i < 1000; ++i) {
        pieces.update(a);
    }
    std::string hex;
    for (auto byte : pieces.finish()) {
        static constexpr char digits[] = "0123456789abcdef";
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    EXPECT_EQ(hex, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

} // namespace
} // namespace winsim
