// The update through the CSMI RAID driver of the default machine's controller \\.\SCSI2:,
// whose RAID set 0 holds the STP Dravoni drive at SAS address 0000000500000001.
#include "marlisk_run.h"

#include <gtest/gtest.h>

using namespace marlisk_test;

namespace {

const std::string kTarget = "/c:1,0000000500000001";

std::vector<nlohmann::json> stp_requests(const fwu_test::run_result& result) {
    std::vector<nlohmann::json> found;
    for (const auto& call : result.calls("DeviceIoControl")) {
        if (call.value("csmi_code", 0) == 25) {
            found.push_back(call);
        }
    }
    return found;
}

std::vector<int> block_offsets(const fwu_test::run_result& result) {
    std::vector<int> offsets;
    for (const auto& command : downloads(result)) {
        offsets.push_back(command.at("lba_mid").get<int>() | command.at("lba_high").get<int>()
                                                                 << 8);
    }
    return offsets;
}

nlohmann::json& controller(nlohmann::json& machine) {
    return machine["controllers"][0];
}

} // namespace

TEST(MarliskCsmi, UpdatesTheDriveOfRaidSet0ThroughStp) {
    marlisk_run m;
    const auto image = m.image("fw.bin", 4 * 512);
    const auto result = m.run({kTarget, "/d:fw.bin", "/l"});

    ASSERT_EQ(result.exit_code, 0) << m.log();
    EXPECT_EQ(m.log(), kLogHeader + "Cannot find device on SCSI0\r\n"
                                    "Cannot find device on SCSI1\r\n"
                                    "FwUpdate Success.\r\n");
    const auto commands = downloads(result);
    ASSERT_EQ(commands.size(), 4u);
    for (const auto& command : commands) {
        EXPECT_EQ(command.at("drive"), kRaidDravoniDrive);
        EXPECT_EQ(command.at("route"), "stp");
        EXPECT_EQ(command.at("features"), 0x0E);
        EXPECT_EQ(command.at("count"), 1);
        EXPECT_EQ(command.at("port"), 1);
        EXPECT_EQ(command.at("phy"), 0);
    }
    EXPECT_EQ(block_offsets(result), (std::vector<int>{0, 1, 2, 3}));
    const auto requests = stp_requests(result);
    ASSERT_EQ(requests.size(), 5u); // IDENTIFY and four blocks
    EXPECT_EQ(requests[0].at("flags"), 0x11);
    EXPECT_EQ(requests[0].at("fis"), "27 80 ec 00 00 00 00 a0 00 00 00 00 00 00 00 00 00 00 00 00");
    for (std::size_t i = 1; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].at("in_len"), 680);
        EXPECT_EQ(requests[i].at("out_len"), 680);
        EXPECT_EQ(requests[i].at("length"), 652);
        EXPECT_EQ(requests[i].at("flags"), 0x12);
        EXPECT_EQ(requests[i].at("timeout"), 60);
        EXPECT_EQ(requests[i].at("signature"), "CSMISAS");
        EXPECT_EQ(requests[i].at("destination"), "0000000500000001");
        EXPECT_EQ(requests[i].at("target"), "\\\\.\\SCSI2:");
    }
    for (const auto& call : result.calls("DeviceIoControl")) {
        if (call.value("csmi_code", 0) == 11) {
            EXPECT_EQ(call.at("in_len"), 1152);
            EXPECT_EQ(call.at("signature"), "CSMIARY");
        }
    }
    EXPECT_EQ(result.drive_state(kRaidDravoniDrive).at("sha256"), image.sha256);
    EXPECT_EQ(positions(result), (std::vector<int>{0, 4, 4, 4, 4, 4}));
}

TEST(MarliskCsmi, TheCOptionWinsOverTAndAloneHasNoControllerGate) {
    marlisk_run m;
    m.image("fw.bin", 512);
    auto result = m.run({"/t:" + kDravoniPath, kTarget, "/d:fw.bin"});
    EXPECT_EQ(result.exit_code, 0);
    ASSERT_EQ(downloads(result).size(), 1u);
    EXPECT_EQ(downloads(result)[0].at("drive"), kRaidDravoniDrive);
    EXPECT_TRUE(result.calls("SetupDiGetDeviceInterfaceDetailW").empty());

    // No storage controller in AHCI or RAID mode: "/t:" stops at the gate, "/c:" alone goes.
    m.edit_machine(
        [](nlohmann::json& machine) { machine["setup_devices"] = nlohmann::json::array(); });
    EXPECT_EQ(m.run({"/t:" + kDravoniPath, kTarget, "/d:fw.bin"}).exit_code, 3);
    result = m.run({kTarget, "/d:fw.bin"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_TRUE(result.calls("SetupDiGetClassDevsW").empty());
}

TEST(MarliskCsmi, PartialAndShortImagesEndWithAPaddedBlock) {
    for (const std::size_t size : {std::size_t{1030}, std::size_t{100}}) {
        marlisk_run m;
        auto image = m.image("fw.bin", size);
        const auto result = m.run({kTarget, "/d:fw.bin"});
        ASSERT_EQ(result.exit_code, 0);
        const std::vector<int> expected =
            size == 1030 ? std::vector<int>{0, 1, 2} : std::vector<int>{0};
        EXPECT_EQ(block_offsets(result), expected);
        EXPECT_EQ(downloads(result).back().at("length"), 512);
        image.bytes.resize((size + 511) / 512 * 512, 0);
        EXPECT_EQ(result.drive_state(kRaidDravoniDrive).at("sha256"),
                  fwu_test::sha256_hex(image.bytes));
    }
}

TEST(MarliskCsmi, AnUnknownAddressOrAnotherModelEndsWith2) {
    marlisk_run m;
    m.image("fw.bin", 512);
    auto result = m.run({"/c:1,0000000500000002", "/d:fw.bin", "/l"});
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(m.log(), kLogHeader + "Cannot find device on SCSI0\r\n"
                                    "Cannot find device on SCSI1\r\n"
                                    "Cannot find device on SCSI3\r\n"
                                    "Cannot find device on SCSI4\r\n"
                                    "Cannot find device on SCSI5\r\n"
                                    "Cannot find device on SCSI6\r\n"
                                    "Cannot find device on SCSI7\r\n"
                                    "Cannot find device on SCSI8\r\n"
                                    "Cannot find device on SCSI9\r\n"
                                    "### ERROR!! <Cannot find device on SCSI> ###\r\n"
                                    "ExitCode = 2\r\n"
                                    "FwUpdate Fail!!\r\n");

    m.edit_machine([](nlohmann::json& machine) {
        drive_of(machine, kRaidDravoniDrive)["identify"]["model"] = "dravoni KX2000";
    });
    result = m.run({kTarget, "/d:fw.bin"});
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_TRUE(downloads(result).empty());
}

TEST(MarliskCsmi, ADriveOnlyInASecondRaidSetIsNotFound) {
    marlisk_run m;
    m.image("fw.bin", 512);
    m.edit_machine([](nlohmann::json& machine) {
        controller(machine)["raid_sets"] = nlohmann::json::array(
            {{{"index", 0}, {"raid_type", 0}, {"drives", {"scsi2-phy0-halvern"}}},
             {{"index", 1}, {"raid_type", 0}, {"drives", {kRaidDravoniDrive}}}});
    });
    EXPECT_EQ(m.run({kTarget, "/d:fw.bin"}).exit_code, 2);
}

TEST(MarliskCsmi, AFailedIdentifyEndsWith3AndAPasswordWith6) {
    marlisk_run m;
    m.image("fw.bin", 512);
    m.edit_machine([](nlohmann::json& machine) {
        controller(machine)["faults"] =
            nlohmann::json::array({{{"request", "stp"}, {"ata_command", "0xEC"}, {"error", 1117}}});
    });
    auto result = m.run({kTarget, "/d:fw.bin", "/l"});
    EXPECT_EQ(result.exit_code, 3);
    EXPECT_EQ(m.log(), kLogHeader + "Cannot find device on SCSI0\r\n"
                                    "Cannot find device on SCSI1\r\n"
                                    "### ERROR!! <DeviceIoControl() Read Identify Device error\r\n"
                                    "GetLastError() = 1117(0x0000045D)\r\n"
                                    "### ERROR!! <SearchDeviceCsmi() error> ###\r\n"
                                    "ExitCode = 3\r\n"
                                    "FwUpdate Fail!!\r\n");

    marlisk_run locked;
    locked.image("fw.bin", 512);
    locked.edit_machine([](nlohmann::json& machine) {
        drive_of(machine, kRaidDravoniDrive)["identify"]["words"]["128"] = "0x0003";
    });
    result = locked.run({kTarget, "/d:fw.bin"});
    EXPECT_EQ(result.exit_code, 6);
    EXPECT_TRUE(downloads(result).empty());
}

TEST(MarliskCsmi, RefusedConnectionsDriverFailuresAndDriveErrorsFailTheAttempt) {
    struct fault_case {
        nlohmann::json controller_fault; // null: a drive fault instead
        std::string lines;
    };
    const std::vector<fault_case> cases = {
        {{{"request", "stp"}, {"ata_command", "0x92"}, {"nth", 2}, {"connection_status", 1}},
         "### ERROR!! <DeviceIoControl() status error(1)> ###\r\nbConnectionStatus = 0x01\r\n"},
        {{{"request", "stp"}, {"ata_command", "0x92"}, {"nth", 2}, {"return_code", 1}},
         "### ERROR!! <DeviceIoControl() status error(1)> ###\r\nReturnCode = 0x00000001\r\n"},
        {{{"request", "stp"}, {"ata_command", "0x92"}, {"nth", 2}, {"error", 1117}},
         "### ERROR!! <DeviceIoControl() Transfer error(1)> ###\r\n"
         "GetLastError() = 1117(0x0000045D)\r\n"},
        {nullptr,
         "### ERROR!! <DeviceIoControl() status error(1)> ###\r\nbStatusFIS[2] = 0x51\r\n"},
    };
    for (const auto& [fault, lines] : cases) {
        for (const std::string retries : {"0", "1"}) {
            marlisk_run m;
            const auto image = m.image("fw.bin", 3 * 512);
            m.edit_machine([&fault](nlohmann::json& machine) {
                if (fault.is_null()) {
                    drive_of(machine, kRaidDravoniDrive)["faults"] = nlohmann::json::array(
                        {{{"command", "0x92"}, {"nth", 2}, {"status", "0x51"}, {"error", "0x04"}}});
                } else {
                    controller(machine)["faults"] = nlohmann::json::array({fault});
                }
            });
            const auto result = m.run({kTarget, "/d:fw.bin", "/l", "/r:" + retries});
            const std::string head =
                kLogHeader + "Cannot find device on SCSI0\r\nCannot find device on SCSI1\r\n";
            if (retries == "0") {
                EXPECT_EQ(result.exit_code, 5) << lines;
                EXPECT_EQ(m.log(), head + lines + "FwUpdate Fail!!\r\n");
            } else {
                // The second attempt starts at block 0 and clears the exit code.
                EXPECT_EQ(result.exit_code, 0) << lines;
                EXPECT_EQ(m.log(), head + lines + "FwUpdate Success.\r\n");
                EXPECT_EQ(result.drive_state(kRaidDravoniDrive).at("sha256"), image.sha256);
            }
        }
    }
}

TEST(MarliskCsmi, OnlyTheEightDriveEntriesTheBlockHoldsAreCompared) {
    for (const std::size_t others : {std::size_t{7}, std::size_t{8}}) {
        marlisk_run m;
        m.image("fw.bin", 512);
        m.edit_machine([others](nlohmann::json& machine) {
            nlohmann::json members(others, "scsi2-phy0-halvern");
            members.push_back(kRaidDravoniDrive);
            controller(machine)["raid_sets"] =
                nlohmann::json::array({{{"index", 0}, {"raid_type", 0}, {"drives", members}}});
        });
        // The ninth member does not fit the 1152-byte block, so it cannot be found.
        EXPECT_EQ(m.run({kTarget, "/d:fw.bin"}).exit_code, others == 7 ? 0 : 2) << others;
    }
}
