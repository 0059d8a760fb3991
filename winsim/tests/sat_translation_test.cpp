// The SAT layer: command blocks to registers, the drive's error to CHECK CONDITION
// with ATA status return sense, INQUIRY data, data-phase checks.
#include <winsim/sat.h>

#include <gtest/gtest.h>

namespace winsim {
namespace {

std::vector<std::uint8_t> cdb16(std::initializer_list<std::uint8_t> bytes) {
    return bytes;
}

TEST(SatDecoding, AtaPassThrough16CarriesAllTwelveRegistersWhenExtended) {
    const auto block = cdb16({0x85, 0x09, 0x0E, 0xF1, 0xF2, 0xC1, 0xC2, 0xA1, 0xA2, 0xB1, 0xB2,
                              0xD1, 0xD2, 0x40, 0x2F, 0x00});
    const auto decoded = decode_ata_passthrough(block);
    ASSERT_TRUE(decoded);
    const auto& r = decoded->registers;
    EXPECT_EQ(r.features_ext, 0xF1);
    EXPECT_EQ(r.features, 0xF2);
    EXPECT_EQ(r.count_ext, 0xC1);
    EXPECT_EQ(r.count, 0xC2);
    EXPECT_EQ(r.lba_low_ext, 0xA1);
    EXPECT_EQ(r.lba_low, 0xA2);
    EXPECT_EQ(r.lba_mid_ext, 0xB1);
    EXPECT_EQ(r.lba_mid, 0xB2);
    EXPECT_EQ(r.lba_high_ext, 0xD1);
    EXPECT_EQ(r.lba_high, 0xD2);
    EXPECT_EQ(r.device, 0x40);
    EXPECT_EQ(r.command, 0x2F);
    EXPECT_EQ(decoded->protocol, 4);
    EXPECT_TRUE(decoded->extend);
    EXPECT_TRUE(decoded->from_device);
    EXPECT_STREQ(decoded->route, "sat16");
}

TEST(SatDecoding, WithoutExtendTheUpperHalvesDoNotReachTheDrive) {
    const auto block = cdb16({0x85, 0x0A, 0x06, 0xF1, 0x03, 0xC1, 0x40, 0xA1, 0x00, 0xB1, 0x40,
                              0xD1, 0x00, 0x40, 0x92, 0x00});
    const auto decoded = decode_ata_passthrough(block);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->protocol, 5);
    EXPECT_FALSE(decoded->from_device);
    EXPECT_EQ(decoded->registers.count, 0x40);
    EXPECT_EQ(decoded->registers.lba_mid, 0x40);
    EXPECT_EQ(decoded->registers.features_ext | decoded->registers.count_ext |
                  decoded->registers.lba_low_ext | decoded->registers.lba_mid_ext |
                  decoded->registers.lba_high_ext,
              0);
}

TEST(SatDecoding, AtaPassThrough12MapsItsOwnBytePositions) {
    const std::vector<std::uint8_t> block = {0xA1, 0x08, 0x0E, 0x0B, 0x01, 0xDB,
                                             0x97, 0x20, 0xA0, 0xEC, 0x00, 0x00};
    const auto decoded = decode_ata_passthrough(block);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->registers.features, 0x0B);
    EXPECT_EQ(decoded->registers.count, 0x01);
    EXPECT_EQ(decoded->registers.lba_low, 0xDB);
    EXPECT_EQ(decoded->registers.lba_mid, 0x97);
    EXPECT_EQ(decoded->registers.lba_high, 0x20);
    EXPECT_EQ(decoded->registers.device, 0xA0);
    EXPECT_EQ(decoded->registers.command, 0xEC);
    EXPECT_STREQ(decoded->route, "sat12");
    EXPECT_FALSE(decode_ata_passthrough(std::vector<std::uint8_t>{0x12, 0, 0, 0, 0xFC, 0}));
}

class SatLayer : public ::testing::Test {
protected:
    nlohmann::json description_ = nlohmann::json::parse(R"({
        "id": "d0",
        "identify": {"model": "HALVERN HT1000", "serial": "HV1000A0000001", "firmware": "HT10A001"},
        "microcode": {"subcommands": [3]}
    })");
    trace trace_{""};
    device_clock clock_{true};
    drive drive_{description_, {trace_, clock_}};
};

TEST_F(SatLayer, ADriveErrorBecomesCheckConditionWithAtaStatusInFixedSense) {
    // DOWNLOAD MICROCODE subcommand 7, which this drive does not accept.
    std::vector<std::uint8_t> data(512, 0);
    const auto block = cdb16({0x85, 0x0A, 0x06, 0, 0x07, 0, 0x01, 0, 0, 0, 0, 0, 0, 0x40, 0x92, 0});
    const auto result = execute_scsi(drive_, block, data_direction::out, data, {});
    EXPECT_EQ(result.status, scsi_status::check_condition);
    ASSERT_EQ(result.sense.size(), 18u);
    EXPECT_EQ(result.sense[0], 0x70);
    EXPECT_EQ(result.sense[2], 0x0B) << "ABORTED COMMAND";
    EXPECT_EQ(result.sense[3], 0x04) << "ATA error register";
    EXPECT_EQ(result.sense[4], 0x51) << "ATA status register";
    EXPECT_EQ(result.sense[5], 0x40) << "device";
    EXPECT_EQ(result.sense[12], 0x00);
    EXPECT_EQ(result.sense[13], 0x1D) << "ATA PASS-THROUGH INFORMATION AVAILABLE";
}

TEST_F(SatLayer, DescriptorSenseCarriesTheAtaStatusReturnDescriptor) {
    std::vector<std::uint8_t> data(512, 0);
    const auto block = cdb16({0x85, 0x0B, 0x06, 0, 0x07, 0, 0x01, 0, 0, 0, 0, 0, 0, 0x40, 0x92, 0});
    const auto result = execute_scsi(drive_, block, data_direction::out, data,
                                     {.format = sense_format::descriptor});
    ASSERT_EQ(result.sense.size(), 22u);
    EXPECT_EQ(result.sense[0], 0x72);
    EXPECT_EQ(result.sense[1], 0x0B);
    EXPECT_EQ(result.sense[3], 0x1D);
    EXPECT_EQ(result.sense[8], 0x09) << "descriptor type";
    EXPECT_EQ(result.sense[10], 0x01) << "EXTEND";
    EXPECT_EQ(result.sense[11], 0x04) << "error";
    EXPECT_EQ(result.sense[21], 0x51) << "status";
}

// How each SAT layer reports the drive's status: ERR and BSY fail the command in both kinds; a
// device fault with ERR clear fails it only in libata, Windows' AHCI layer completes it
// normally. CK_COND asks for the registers of a normal completion (RECOVERED ERROR).
TEST(SatLayerStatus, EachKindReportsTheReturnedStatusInEitherSenseFormat) {
    struct row {
        sat_kind kind;
        int status;
        bool ck_cond;
        int scsi; // SCSI status
        int key;  // sense key; 0: no sense data
    };
    const row rows[] = {
        {sat_kind::windows_ahci, 0x51, false, 2, 0x0B},
        {sat_kind::windows_ahci, 0x51, true, 2, 0x0B},
        {sat_kind::windows_ahci, 0x70, false, 0, 0},
        {sat_kind::windows_ahci, 0x60, false, 0, 0},
        {sat_kind::windows_ahci, 0x70, true, 2, 0x01},
        {sat_kind::windows_ahci, 0x80, false, 2, 0x0B},
        {sat_kind::libata, 0x51, false, 2, 0x0B},
        {sat_kind::libata, 0x70, false, 2, 0x0B},
        {sat_kind::libata, 0x60, true, 2, 0x0B},
        {sat_kind::libata, 0x80, false, 2, 0x0B},
        {sat_kind::libata, 0x50, true, 2, 0x01},
    };
    for (const auto& each : rows) {
        for (const auto format : {sense_format::fixed, sense_format::descriptor}) {
            SCOPED_TRACE(::testing::Message()
                         << "kind " << static_cast<int>(each.kind) << " status " << each.status
                         << " CK_COND " << each.ck_cond);
            auto description =
                nlohmann::json::parse(R"({"id": "d0", "microcode": {"subcommands": [3]}})");
            if (each.status != 0x50) { // 0x50: the drive's own good completion
                description["faults"] = {
                    {{"command", "0x92"}, {"status", each.status}, {"error", 0}}};
            }
            trace log{""};
            device_clock clock{true};
            drive target{description, {log, clock}};
            std::vector<std::uint8_t> data(512, 0);
            auto block =
                cdb16({0x85, 0x0A, 0x06, 0, 0x03, 0, 0x01, 0, 0, 0, 0, 0, 0, 0x40, 0x92, 0});
            if (each.ck_cond) {
                block[2] |= 0x20;
            }
            const auto result = execute_scsi(target, block, data_direction::out, data,
                                             {.kind = each.kind, .format = format});
            EXPECT_EQ(result.status, each.scsi);
            if (each.key == 0) {
                EXPECT_TRUE(result.sense.empty());
                continue;
            }
            const bool fixed = format == sense_format::fixed;
            ASSERT_EQ(result.sense.size(), fixed ? 18u : 22u);
            EXPECT_EQ(result.sense[fixed ? 2 : 1], each.key);
            EXPECT_EQ(result.sense[fixed ? 13 : 3], 0x1D)
                << "ATA PASS-THROUGH INFORMATION AVAILABLE";
            EXPECT_EQ(result.sense[fixed ? 4 : 21], each.status) << "ATA status register";
        }
    }
}

TEST_F(SatLayer, SuccessIsGoodStatusWithoutSenseUnlessCkCondAsks) {
    std::vector<std::uint8_t> data(512, 0);
    auto block = cdb16({0x85, 0x08, 0x0E, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xEC, 0});
    auto result = execute_scsi(drive_, block, data_direction::in, data, {});
    EXPECT_EQ(result.status, scsi_status::good);
    EXPECT_TRUE(result.sense.empty());
    EXPECT_EQ(result.transferred, 512u);
    block[2] |= 0x20;
    result = execute_scsi(drive_, block, data_direction::in, data, {});
    EXPECT_EQ(result.status, scsi_status::check_condition);
    EXPECT_EQ(result.sense[2], 0x01) << "RECOVERED ERROR";
    EXPECT_EQ(result.sense[4], 0x50);
}

TEST_F(SatLayer, ADataPhaseThatContradictsTheProtocolIsAnIllegalRequest) {
    std::vector<std::uint8_t> data(512, 0);
    // PIO data-in with T_DIR set, but the request sends data out.
    const auto block = cdb16({0x85, 0x08, 0x0E, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xEC, 0});
    const auto result = execute_scsi(drive_, block, data_direction::out, data, {});
    EXPECT_EQ(result.status, scsi_status::check_condition);
    EXPECT_EQ(result.sense[2], 0x05);
    EXPECT_EQ(result.sense[12], 0x24);
}

TEST_F(SatLayer, InquiryReportsVendorProductRevisionAndTheSerialPage) {
    std::vector<std::uint8_t> data(252, 0);
    auto result = execute_scsi(drive_, std::vector<std::uint8_t>{0x12, 0, 0, 0, 0xFC, 0},
                               data_direction::in, data, {});
    EXPECT_EQ(result.status, scsi_status::good);
    EXPECT_EQ(std::string(data.begin() + 8, data.begin() + 16), "ATA     ");
    EXPECT_EQ(std::string(data.begin() + 16, data.begin() + 32), "HALVERN HT1000  ");
    EXPECT_EQ(std::string(data.begin() + 32, data.begin() + 36), "A001");

    std::fill(data.begin(), data.end(), 0);
    result = execute_scsi(drive_, std::vector<std::uint8_t>{0x12, 1, 0x80, 0, 0xFC, 0},
                          data_direction::in, data, {});
    EXPECT_EQ(data[1], 0x80);
    EXPECT_EQ(data[3], 20);
    EXPECT_EQ(std::string(data.begin() + 4, data.begin() + 24), "HV1000A0000001      ");
    EXPECT_EQ(result.transferred, 24u);

    result = execute_scsi(drive_, std::vector<std::uint8_t>{0x12, 1, 0x83, 0, 0xFC, 0},
                          data_direction::in, data, {});
    EXPECT_EQ(result.status, scsi_status::check_condition);
}

// Refusals by the SAT layer itself: the drive never sees the command.
TEST_F(SatLayer, LayersThatRefuseABlockAnswerIllegalRequestWithoutTheDrive) {
    struct row {
        const char* what;
        sat_settings sat;
        std::vector<std::uint8_t> cdb;
        data_direction direction;
        std::size_t length;
        int asc; // 0: the drive gets the command
        const char* rule;
    };
    const auto identify = cdb16({0x85, 0x08, 0x0E, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0x40, 0xEC, 0});
    const auto identify_ck = cdb16({0x85, 0x08, 0x2E, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0x40, 0xEC, 0});
    const auto segment = cdb16({0x85, 0x0A, 0x06, 0, 0x03, 0, 1, 0, 0, 0, 0, 0, 0, 0x40, 0x92, 0});
    // Activate as PIO data-out naming COUNT, with no data; and as non-data naming COUNT.
    const auto activate_pio =
        cdb16({0x85, 0x0A, 0x06, 0, 0x0F, 0, 8, 0, 0, 0, 0, 0, 0, 0x40, 0x92, 0});
    const auto activate_named =
        cdb16({0x85, 0x06, 0x06, 0, 0x0F, 0, 8, 0, 0, 0, 0, 0, 0, 0x40, 0x92, 0});
    const auto activate = cdb16({0x85, 0x06, 0x00, 0, 0x0F, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x92, 0});
    // PIO data-in with T_LENGTH 0 but a data phase; a segment whose COUNT says 2 blocks.
    const auto identify_unnamed =
        cdb16({0x85, 0x08, 0x0C, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0x40, 0xEC, 0});
    const auto segment_of_two =
        cdb16({0x85, 0x0A, 0x06, 0, 0x03, 0, 2, 0, 0, 0, 0, 0, 0, 0x40, 0x92, 0});
    const sat_settings lenient, none{.kind = sat_kind::none}, no_ck{.takes_ck_cond = false},
        strict{.strict = true};
    const auto in = data_direction::in;
    const auto out = data_direction::out;
    const auto no_data = data_direction::none;
    const row rows[] = {
        {"no ATA PASS-THROUGH", none, identify, in, 512, 0x20, "sat_layer"},
        {"no CK_COND, asked", no_ck, identify_ck, in, 512, 0x24, "sat_ck_cond"},
        {"no CK_COND, not asked", no_ck, identify, in, 512, 0, nullptr},
        {"strict, identify", strict, identify, in, 512, 0, nullptr},
        {"strict, segment", strict, segment, out, 512, 0, nullptr},
        {"strict, non-data activate", strict, activate, no_data, 0, 0, nullptr},
        {"strict, PIO activate", strict, activate_pio, no_data, 0, 0x24, "sat_strict"},
        {"strict, non-data naming COUNT", strict, activate_named, no_data, 0, 0x24, "sat_strict"},
        {"strict, T_LENGTH 0 with data", strict, identify_unnamed, in, 512, 0x24, "sat_strict"},
        {"strict, COUNT disagrees", strict, segment_of_two, out, 512, 0x24, "sat_strict"},
        {"lenient, PIO activate", lenient, activate_pio, no_data, 0, 0, nullptr},
        {"lenient, non-data naming COUNT", lenient, activate_named, no_data, 0, 0, nullptr},
        {"lenient, T_LENGTH 0 with data", lenient, identify_unnamed, in, 512, 0, nullptr},
    };
    for (const auto& each : rows) {
        SCOPED_TRACE(each.what);
        std::vector<std::uint8_t> data(each.length, 0);
        // Each command the drive executes takes its device time.
        const auto time_before = clock_.elapsed_ms();
        const auto result = execute_scsi(drive_, each.cdb, each.direction, data, each.sat);
        if (each.asc == 0) {
            EXPECT_GT(clock_.elapsed_ms(), time_before) << "reached the drive";
            EXPECT_EQ(result.refused_by, nullptr);
            EXPECT_TRUE(result.sense.empty() || result.sense[2] != 0x05);
            continue;
        }
        EXPECT_EQ(clock_.elapsed_ms(), time_before) << "the drive never saw it";
        EXPECT_EQ(result.status, scsi_status::check_condition);
        ASSERT_EQ(result.sense.size(), 18u);
        EXPECT_EQ(result.sense[2], 0x05) << "ILLEGAL REQUEST";
        EXPECT_EQ(result.sense[12], each.asc);
        EXPECT_EQ(result.sense[13], 0x00);
        EXPECT_STREQ(result.refused_by, each.rule);
    }
}

} // namespace
} // namespace winsim
