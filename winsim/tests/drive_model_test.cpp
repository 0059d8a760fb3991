// The drive model as the ATA command set describes it: DOWNLOAD MICROCODE segment
// assembly, refusals, activation rules, IDENTIFY and the log page, injected faults.
#include <winsim/drive.h>
#include <winsim/sha256.h>

#include <gtest/gtest.h>

#include <numeric>

namespace winsim {
namespace {

nlohmann::json halvern() {
    return nlohmann::json::parse(R"({
        "id": "d0",
        "identify": {"model": "HALVERN HT1000", "serial": "SN123", "firmware": "HT10A001",
                     "words": {"128": "0x0001", "234": 1, "235": 8}},
        "logs": [{"address": "0x30", "page": 3, "qwords": {"0": "0x8000000000030001", "2": "0x0000000C00000000"}},
                 {"address": "0x30", "page": "0x103", "qwords": {"0": "0x42"}}],
        "microcode": {"subcommands": [3, 7, 14, 15], "expected_length": 4096,
                      "firmware_after_activation": "HT10A002"}
    })");
}

class DriveModel : public ::testing::Test {
protected:
    explicit DriveModel(nlohmann::json description = halvern())
        : description_(std::move(description)), target_(description_, {trace_, clock_}) {}

    ata_reply download(std::uint8_t sub, std::uint16_t blocks, std::uint16_t offset,
                       std::span<std::uint8_t> data) {
        ata_command command;
        command.registers.command = 0x92;
        command.registers.features = sub;
        command.registers.count = static_cast<std::uint8_t>(blocks & 0xFF);
        command.registers.lba_low = static_cast<std::uint8_t>(blocks >> 8);
        command.registers.lba_mid = static_cast<std::uint8_t>(offset & 0xFF);
        command.registers.lba_high = static_cast<std::uint8_t>(offset >> 8);
        command.registers.device = 0x40;
        command.direction = data.empty() ? data_direction::none : data_direction::out;
        command.data = data;
        command.route = "ata";
        return target_.execute(command);
    }

    ata_reply segment(std::uint8_t sub, std::uint16_t blocks, std::uint16_t offset) {
        return download(sub, blocks, offset,
                        std::span(image_).subspan(offset * 512u, blocks * 512u));
    }

    ata_reply read_in(std::uint8_t command_byte, std::vector<std::uint8_t>& buffer,
                      ata_registers registers = {}) {
        ata_command command;
        command.registers = registers;
        command.registers.command = command_byte;
        command.direction = data_direction::in;
        command.data = buffer;
        command.route = "sat16";
        return target_.execute(command);
    }

    std::vector<std::uint8_t> image_ = [] {
        std::vector<std::uint8_t> bytes(4096);
        std::iota(bytes.begin(), bytes.end(), std::uint8_t{7});
        return bytes;
    }();
    trace trace_{""};
    device_clock clock_{true};
    nlohmann::json description_;
    drive target_;
};

bool accepted(const ata_reply& reply) {
    return reply.status == 0x50 && reply.error == 0;
}
bool aborted(const ata_reply& reply) {
    return reply.status == 0x51 && reply.error == 0x04;
}

TEST_F(DriveModel, SegmentsAtTheirOffsetsAssembleTheImageAndActivateAtItsLength) {
    EXPECT_TRUE(accepted(segment(0x03, 4, 0)));
    EXPECT_EQ(target_.activations(), 0u);
    EXPECT_TRUE(accepted(segment(0x03, 4, 4)));
    EXPECT_EQ(target_.activations(), 1u);
    EXPECT_EQ(target_.microcode(), image_);
    EXPECT_EQ(target_.firmware(), "HT10A002");
    EXPECT_EQ(target_.exit_state()["sha256"], sha256_hex(image_));
}

TEST_F(DriveModel, RefusesSegmentsOutOfOrderAndRestartsAtOffsetZero) {
    EXPECT_TRUE(accepted(segment(0x03, 2, 0)));
    EXPECT_TRUE(aborted(segment(0x03, 2, 4))) << "skips blocks 2 and 3";
    EXPECT_TRUE(aborted(segment(0x03, 2, 0 + 1))) << "overlaps";
    EXPECT_TRUE(accepted(segment(0x03, 4, 0))) << "offset 0 starts again";
    EXPECT_TRUE(accepted(segment(0x03, 4, 4)));
    EXPECT_EQ(target_.activations(), 1u);
    EXPECT_EQ(target_.microcode(), image_);
}

TEST_F(DriveModel, RefusesBlockCountsOutsideItsLimitsAndDataThatDisagrees) {
    std::vector<std::uint8_t> nine_blocks(9 * 512);
    EXPECT_TRUE(aborted(download(0x03, 9, 0, nine_blocks))) << "more than word 235 allows";
    EXPECT_TRUE(aborted(download(0x03, 0, 0, {}))) << "no blocks";
    auto three_blocks = std::span(image_).first(3 * 512);
    EXPECT_TRUE(aborted(download(0x03, 2, 0, three_blocks))) << "count says 2, data holds 3";
    EXPECT_TRUE(aborted(download(0x0E, 4, 0, {}))) << "no data phase";
    EXPECT_TRUE(target_.microcode().empty());
}

TEST_F(DriveModel, RefusesUnsupportedSubcommandsAndImagesOfTheWrongLength) {
    EXPECT_TRUE(aborted(segment(0x01, 1, 0)));
    EXPECT_TRUE(aborted(download(0x07, 4, 0, std::span(image_).first(2048)))) << "not 4096 bytes";
    EXPECT_TRUE(accepted(download(0x07, 8, 0, image_)));
    EXPECT_EQ(target_.activations(), 1u);
    EXPECT_TRUE(accepted(segment(0x03, 8, 0)));
    EXPECT_EQ(target_.activations(), 2u);
    EXPECT_TRUE(aborted(download(0x03, 1, 8, std::span(image_).first(512))))
        << "beyond the expected length";
}

TEST_F(DriveModel, DeferredSegmentsActivateOnlyWithTheActivateSubcommand) {
    EXPECT_TRUE(aborted(download(0x0F, 0, 0, {}))) << "nothing deferred yet";
    EXPECT_TRUE(accepted(segment(0x0E, 4, 0)));
    EXPECT_TRUE(aborted(download(0x0F, 0, 0, {}))) << "image incomplete";
    EXPECT_TRUE(accepted(segment(0x0E, 4, 4)));
    EXPECT_EQ(target_.activations(), 0u);
    // The activate command's count and LBA fields do not matter (a caller may fill them).
    EXPECT_TRUE(accepted(download(0x0F, 4096, 0, {})));
    EXPECT_EQ(target_.activations(), 1u);
    EXPECT_TRUE(aborted(download(0x0F, 0, 0, {}))) << "already activated";
}

TEST_F(DriveModel, IdentifyAnswersWithAnyFeaturesAndAValidChecksum) {
    std::vector<std::uint8_t> data(512);
    ata_registers signature;
    signature.features = 0x0B;
    signature.count = 1;
    signature.lba_low = 0xDB;
    signature.lba_mid = 0x97;
    signature.lba_high = 0x20;
    EXPECT_TRUE(accepted(read_in(0xEC, data, signature)));
    std::string model;
    for (int i = 54; i < 54 + 40; i += 2) {
        model += static_cast<char>(data[i + 1]);
        model += static_cast<char>(data[i]);
    }
    EXPECT_EQ(model.substr(0, 16), "HALVERN HT1000  ");
    EXPECT_EQ(data[234 * 2], 1);
    EXPECT_EQ(data[235 * 2], 8);
    EXPECT_EQ(data[510], 0xA5);
    EXPECT_EQ(std::accumulate(data.begin(), data.end(), 0u) % 256, 0u);

    std::vector<std::uint8_t> short_buffer(256);
    EXPECT_TRUE(aborted(read_in(0xEC, short_buffer)));
}

TEST_F(DriveModel, ReadLogExtReturnsTheDescribedPageAndRefusesOthers) {
    std::vector<std::uint8_t> page(512);
    ata_registers log;
    log.count = 1;
    log.lba_low = 0x30;
    log.lba_mid = 3;
    EXPECT_TRUE(accepted(read_in(0x2F, page, log)));
    EXPECT_EQ(page[7], 0x80) << "valid bit 63 of qword 0";
    EXPECT_EQ(page[16 + 4], 0x0C) << "bits 34 and 35 of qword 2";
    log.lba_mid = 4;
    EXPECT_TRUE(aborted(read_in(0x2F, page, log)));
    // Page bits 15:8 travel in LBA 39:32.
    log.lba_mid = 3;
    log.lba_mid_ext = 1;
    EXPECT_TRUE(accepted(read_in(0x2F, page, log)));
    EXPECT_EQ(page[0], 0x42);
}

// IDENTIFY words that decide what DOWNLOAD MICROCODE takes: 234/235 of 0 or FFFFh report no
// limit; a security-locked drive (word 128 bit 2) aborts it but still identifies itself.
TEST(DriveIdentifyWords, DecideWhatDownloadMicrocodeAccepts) {
    struct row {
        const char* what;
        nlohmann::json words;
        std::uint16_t blocks;
        bool accepted;
    };
    const row rows[] = {
        {"limits 1 to 8", {{"234", 1}, {"235", 8}}, 9, false},
        {"limits not reported (FFFFh)", {{"234", 0xFFFF}, {"235", 0xFFFF}}, 9, true},
        {"limits not reported (0)", {{"234", 0}, {"235", 0}}, 9, true},
        {"security locked", {{"128", 7}, {"234", 1}, {"235", 8}}, 4, false},
        {"security enabled, unlocked", {{"128", 3}, {"234", 1}, {"235", 8}}, 4, true},
    };
    for (const auto& each : rows) {
        SCOPED_TRACE(each.what);
        auto description = halvern();
        description["identify"]["words"] = each.words;
        description["microcode"].erase("expected_length");
        trace none("");
        device_clock clock(true);
        drive target(description, {none, clock});
        std::vector<std::uint8_t> segment(each.blocks * 512u, 0x11);
        ata_command command;
        command.registers = {0x03, static_cast<std::uint8_t>(each.blocks), 0, 0, 0, 0x40, 0x92};
        command.direction = data_direction::out;
        command.data = segment;
        EXPECT_EQ(target.execute(command).status, each.accepted ? 0x50 : 0x51);
        std::vector<std::uint8_t> identify(512);
        ata_command identify_command;
        identify_command.registers.command = 0xEC;
        identify_command.direction = data_direction::in;
        identify_command.data = identify;
        EXPECT_EQ(target.execute(identify_command).status, 0x50);
    }
}

TEST(DriveModelFirmware, ActivationWithoutANewRevisionKeepsTheOldOne) {
    auto description = halvern();
    description["microcode"].erase("firmware_after_activation");
    trace none("");
    device_clock clock(true);
    drive target(description, {none, clock});
    std::vector<std::uint8_t> image(4096, 0x11);
    ata_command command;
    command.registers = {0x07, 8, 0, 0, 0, 0x40, 0x92};
    command.direction = data_direction::out;
    command.data = image;
    EXPECT_EQ(target.execute(command).status, 0x50);
    EXPECT_EQ(target.activations(), 1u);
    EXPECT_EQ(target.firmware(), "HT10A001");
}

class DriveFaults : public DriveModel {
protected:
    DriveFaults()
        : DriveModel([] {
              auto description = halvern();
              description["faults"] = nlohmann::json::parse(R"([
                  {"command": "0x92", "features": 3, "nth": 2, "status": "0x51", "error": "0x10"},
                  {"command": "0xEC", "nth": 1, "times": 2, "status": "0x80"}
              ])");
              return description;
          }()) {}
};

TEST_F(DriveFaults, TheNthCommandOfAKindGetsTheInjectedAnswerAndIsNotExecuted) {
    EXPECT_TRUE(accepted(segment(0x03, 2, 0)));
    const auto second = segment(0x03, 2, 2);
    EXPECT_EQ(second.status, 0x51);
    EXPECT_EQ(second.error, 0x10);
    EXPECT_EQ(second.transferred, 0u);
    EXPECT_EQ(target_.microcode().size(), 1024u) << "the faulted segment was not taken";
    EXPECT_TRUE(accepted(segment(0x03, 2, 2))) << "the third one is answered normally";
}

TEST_F(DriveFaults, BusyRepliesComeTheGivenNumberOfTimes) {
    std::vector<std::uint8_t> data(512);
    EXPECT_EQ(read_in(0xEC, data).status, 0x80);
    EXPECT_EQ(read_in(0xEC, data).status, 0x80);
    EXPECT_TRUE(accepted(read_in(0xEC, data)));
}

// A command that activates (0x07, the segment that completes the image, 0x0F) takes the
// activation time; the others the command time. A time limit shorter than that resets the
// drive: no activation, the old firmware, and nothing of the download kept.
TEST(DriveTimeLimits, ALimitBelowTheCommandTimeResetsTheDrive) {
    struct row {
        const char* what;
        std::uint8_t sub; // of the last command; earlier ones prepare it, under the same limit
        std::optional<std::uint64_t> limit_ms;
        bool interrupted;
        std::uint64_t last_ms; // virtual time the last command took
    };
    const row rows[] = {
        {"whole image, 5 s", 0x07, 5000, true, 5000},
        {"whole image, 8 s", 0x07, 8000, false, 8000},
        {"whole image, no limit", 0x07, std::nullopt, false, 8000},
        {"last immediate segment, 5 s", 0x03, 5000, true, 5000},
        {"last immediate segment, 30 s", 0x03, 30000, false, 8000},
        {"activate after deferred segments, 5 s", 0x0F, 5000, true, 5000},
        {"activate after deferred segments, 30 s", 0x0F, 30000, false, 8000},
    };
    for (const auto& each : rows) {
        SCOPED_TRACE(each.what);
        trace none("");
        device_clock clock(true);
        drive target(halvern(), {none, clock});
        std::vector<std::uint8_t> image(4096, 0x22);
        auto send = [&](std::uint8_t sub, std::uint8_t blocks, std::uint8_t offset) {
            ata_command command;
            command.registers = {sub, blocks, 0, offset, 0, 0x40, 0x92};
            command.direction = blocks != 0 ? data_direction::out : data_direction::none;
            command.data = std::span(image).subspan(offset * 512u, blocks * 512u);
            command.time_limit_ms = each.limit_ms;
            return target.execute(command);
        };
        // Segments that do not activate take the command time and pass any of these limits.
        if (each.sub == 0x03) {
            ASSERT_FALSE(send(0x03, 4, 0).interrupted);
        } else if (each.sub == 0x0F) {
            ASSERT_FALSE(send(0x0E, 4, 0).interrupted);
            ASSERT_FALSE(send(0x0E, 4, 4).interrupted);
        }
        const auto before = clock.elapsed_ms();
        const auto reply = each.sub == 0x07   ? send(0x07, 8, 0)
                           : each.sub == 0x03 ? send(0x03, 4, 4)
                                              : send(0x0F, 0, 0);
        EXPECT_EQ(reply.interrupted, each.interrupted);
        EXPECT_EQ(clock.elapsed_ms() - before, each.last_ms);
        EXPECT_EQ(target.activations(), each.interrupted ? 0u : 1u);
        EXPECT_EQ(target.firmware(), each.interrupted ? "HT10A001" : "HT10A002");
        EXPECT_EQ(target.microcode().empty(), each.interrupted);
        EXPECT_EQ(target.exit_state()["interrupted"], each.interrupted ? 1 : 0);
    }
}

TEST(DriveClock, EachCommandAdvancesTheVirtualClockByItsDeviceTime) {
    auto description = halvern();
    description["command_time_ms"] = 7;
    trace none("");
    device_clock clock(true);
    drive target(description, {none, clock});
    std::vector<std::uint8_t> data(512);
    ata_command command;
    command.registers.command = 0xEC;
    command.direction = data_direction::in;
    command.data = data;
    target.execute(command);
    target.execute(command);
    EXPECT_EQ(clock.elapsed_ms(), 14u);
}

} // namespace
} // namespace winsim
