// The update through ATA pass-through on the default machine's Dravoni drive: what goes on
// the wire, what the progress window is told, the log and the exit code.
#include "marlisk_run.h"

#include <gtest/gtest.h>

using namespace marlisk_test;

namespace {

std::vector<nlohmann::json> events_named(const fwu_test::run_result& result, const char* name) {
    std::vector<nlohmann::json> found;
    for (const auto& event : window_events(result)) {
        if (event.value("event", "") == name) {
            found.push_back(event);
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

// The ATA pass-through requests that carried DOWNLOAD MICROCODE.
std::vector<nlohmann::json> download_requests(const fwu_test::run_result& result) {
    std::vector<nlohmann::json> found;
    for (const auto& call : result.calls("DeviceIoControl")) {
        if (call.value("ioctl", "") == "0x4D030" &&
            call.value("task_file", "").substr(18, 2) == "92") {
            found.push_back(call);
        }
    }
    return found;
}

} // namespace

TEST(MarliskAtaUpdate, SendsTheImageOneBlockPerCommandAndLogsSuccess) {
    marlisk_run m;
    const auto image = m.image("fw.bin", 10 * 512);
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin", "/l"});

    ASSERT_EQ(result.exit_code, 0) << result.out;
    EXPECT_EQ(m.log(),
              kLogHeader + path_lines(kDravoniPath, kDravoniPath) + "FwUpdate Success.\r\n");
    const auto commands = downloads(result);
    ASSERT_EQ(commands.size(), 10u);
    for (std::size_t i = 0; i < commands.size(); ++i) {
        EXPECT_EQ(commands[i].at("drive"), kDravoniDrive);
        EXPECT_EQ(commands[i].at("route"), "ata");
        EXPECT_EQ(commands[i].at("features"), 0x0E);
        EXPECT_EQ(commands[i].at("count"), 1);
        EXPECT_EQ(commands[i].at("lba_low"), 0);
        EXPECT_EQ(commands[i].at("length"), 512);
        EXPECT_EQ(commands[i].at("status"), 0x50);
    }
    EXPECT_EQ(block_offsets(result), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    for (const auto& request : download_requests(result)) {
        EXPECT_EQ(request.at("timeout"), 60);
        EXPECT_EQ(request.at("in_len"), 40);
        EXPECT_EQ(request.at("out_len"), 40);
        EXPECT_EQ(request.at("ata_flags"), 5);
        EXPECT_EQ(request.at("previous_task_file"), "00 00 00 00 00 00 00 00");
    }
    // Success means the drive holds the image, saved for later: no 0x0F follows, and the old
    // firmware runs until the drive activates it (at its next power-on, as the drive decides).
    const auto drive = result.drive_state(kDravoniDrive);
    EXPECT_EQ(drive.at("sha256"), image.sha256);
    EXPECT_EQ(drive.at("activated"), 0);
    EXPECT_EQ(drive.at("firmware"), "KX20B001");
}

TEST(MarliskAtaUpdate, TheDiskIsOpenedExclusivelyAfterTheAdapterAnswers) {
    marlisk_run m;
    m.image("fw.bin", 512);
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin"});
    ASSERT_EQ(result.exit_code, 0);
    bool exclusive_open = false;
    int adapter_queries = 0;
    for (const auto& record : result.trace) {
        if (record.value("call", "") == "CreateFileW" && record.value("share", -1) == 0) {
            exclusive_open = true;
        }
        if (record.value("ioctl", "") == "0x2D1400") {
            EXPECT_TRUE(exclusive_open);
            EXPECT_EQ(record.at("in_len"), 12);
            EXPECT_EQ(record.value("property", -1), 1);
            ++adapter_queries;
            if (adapter_queries == 1) {
                EXPECT_EQ(record.at("out_len"), 8); // the descriptor header alone
            }
        }
        if (record.value("call", "") == "ata" && record.value("command", 0) == 0x92) {
            EXPECT_EQ(adapter_queries, 2);
        }
    }
    EXPECT_TRUE(exclusive_open);
    EXPECT_EQ(adapter_queries, 2);
}

TEST(MarliskAtaUpdate, TheWindowShowsDriveAndRevisionsAndFollowsTheBlocks) {
    marlisk_run m;
    m.image("fw.bin", 10 * 512);
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin"});
    ASSERT_EQ(result.exit_code, 0);

    const auto events = window_events(result);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().at("event"), "create");
    EXPECT_EQ(events.front().at("template"), 129);
    EXPECT_EQ(events.front().at("parent"), false);
    std::map<int, std::string> texts;
    for (const auto& text : events_named(result, "text")) {
        texts[text.at("control").get<int>()] = text.at("value");
    }
    EXPECT_EQ(texts[1008], "Model:");
    EXPECT_EQ(texts[1009], "Current FW Version:");
    EXPECT_EQ(texts[1010], "New FW Version:");
    EXPECT_EQ(texts[1011], "<DRAVONI KX2000>");
    EXPECT_EQ(texts[1012], "<KX20B001>");
    EXPECT_EQ(texts[1013], "<fw>");
    const auto ranges = events_named(result, "range");
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0].at("control"), 1014);
    EXPECT_EQ(ranges[0].at("low"), 0);
    EXPECT_EQ(ranges[0].at("high"), 10);
    EXPECT_EQ(events_named(result, "show").size(), 1u);
    // Block i moves the bar to i + 5, which the bar clamps to 10; the end sets 10 again.
    EXPECT_EQ(positions(result), (std::vector<int>{0, 5, 6, 7, 8, 9, 10, 10, 10, 10, 10, 10}));
    EXPECT_EQ(events[events.size() - 2].at("event"), "hide");
    EXPECT_EQ(events.back().at("event"), "destroy");

    // A second passes between the last block and hiding the window.
    bool after_last_block = false;
    bool waited = false;
    for (const auto& record : result.trace) {
        if (record.value("call", "") == "ata" && record.value("command", 0) == 0x92) {
            after_last_block = true;
            waited = false;
        } else if (record.value("call", "") == "Sleep" && after_last_block) {
            waited = record.at("ms") == 1000;
        } else if (record.value("event", "") == "hide") {
            EXPECT_TRUE(waited);
        }
    }
}

TEST(MarliskAtaUpdate, AnImageOfTwoBlocksFillsTheBarAfterTheFirst) {
    marlisk_run m;
    m.image("fw.bin", 1024);
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin"});
    ASSERT_EQ(result.exit_code, 0);
    EXPECT_EQ(block_offsets(result), (std::vector<int>{0, 1}));
    EXPECT_EQ(positions(result), (std::vector<int>{0, 2, 2, 2}));
}

TEST(MarliskAtaUpdate, AFinalPartialBlockIsPaddedToAWholeBlock) {
    marlisk_run m;
    auto image = m.image("fw.bin", 1030);
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin"});
    ASSERT_EQ(result.exit_code, 0);
    const auto commands = downloads(result);
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(block_offsets(result), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(commands[2].at("count"), 1);
    EXPECT_EQ(commands[2].at("length"), 512);
    image.bytes.resize(1536, 0);
    EXPECT_EQ(result.drive_state(kDravoniDrive).at("sha256"), fwu_test::sha256_hex(image.bytes));
    EXPECT_EQ(result.drive_state(kDravoniDrive).at("received"), 1536);
}

TEST(MarliskAtaUpdate, AnImageBelowOneBlockHasRangeZeroAndStillGoes) {
    marlisk_run m;
    m.image("fw.bin", 100);
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin"});
    ASSERT_EQ(result.exit_code, 0);
    EXPECT_EQ(block_offsets(result), (std::vector<int>{0}));
    EXPECT_EQ(events_named(result, "range").at(0).at("high"), 0);
    for (int position : positions(result)) {
        EXPECT_EQ(position, 0);
    }
}

TEST(MarliskAtaUpdate, AFailureRestartsTheTransferAtBlockZeroAndLaterSuccessCounts) {
    marlisk_run m;
    const auto image = m.image("fw.bin", 10 * 512);
    m.edit_machine([](nlohmann::json& machine) {
        drive_of(machine, kDravoniDrive)["faults"] = nlohmann::json::array(
            {{{"command", "0x92"}, {"nth", 8}, {"status", "0x51"}, {"error", "0x04"}}});
    });
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin", "/l"});

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(block_offsets(result),
              (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(m.log(), kLogHeader + path_lines(kDravoniPath, kDravoniPath) +
                           "### ERROR!! <DeviceIoControl() status error(1)> ###\r\n"
                           "pAta->CurrentTaskFile[6] = 0x51\r\n"
                           "FwUpdate Success.\r\n");
    EXPECT_EQ(result.drive_state(kDravoniDrive).at("sha256"), image.sha256);
}

TEST(MarliskAtaUpdate, WithoutRetriesOneFailureEndsWithCode5) {
    marlisk_run m;
    m.image("fw.bin", 4 * 512);
    m.edit_machine([](nlohmann::json& machine) {
        drive_of(machine, kDravoniDrive)["faults"] =
            nlohmann::json::array({{{"command", "0x92"}, {"nth", 2}}});
    });
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin", "/r:0", "/l"});
    EXPECT_EQ(result.exit_code, 5);
    EXPECT_EQ(block_offsets(result), (std::vector<int>{0, 1}));
    EXPECT_EQ(m.log(), kLogHeader + path_lines(kDravoniPath, kDravoniPath) +
                           "### ERROR!! <DeviceIoControl() status error(1)> ###\r\n"
                           "pAta->CurrentTaskFile[6] = 0x51\r\n"
                           "FwUpdate Fail!!\r\n");
    // Nothing is sent after the failed last attempt; the window still goes.
    const auto events = window_events(result);
    EXPECT_EQ(events.back().at("event"), "destroy");
}

TEST(MarliskAtaUpdate, EveryAttemptFailsAndTheRetryCountBoundsThem) {
    marlisk_run m;
    m.image("fw.bin", 2 * 512);
    m.edit_machine([](nlohmann::json& machine) {
        drive_of(machine, kDravoniDrive)["faults"] =
            nlohmann::json::array({{{"command", "0x92"}, {"times", 100}}});
    });
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin", "/r:3"});
    EXPECT_EQ(result.exit_code, 5);
    EXPECT_EQ(block_offsets(result), (std::vector<int>{0, 0, 0, 0}));
}

TEST(MarliskAtaUpdate, ARefusedRequestAndAFailingFinalBlockWriteTheirOwnLines) {
    marlisk_run m;
    m.image("fw.bin", 512 + 20);
    m.edit_machine([](nlohmann::json& machine) {
        machine["disks"][1]["ioctl_faults"] =
            nlohmann::json::array({{{"ioctl", "0x4D030"}, {"nth", 1}, {"error", 1117}}});
        drive_of(machine, kDravoniDrive)["faults"] = nlohmann::json::array(
            {{{"command", "0x92"}, {"nth", 2}, {"status", "0x51"}, {"error", "0x04"}}});
    });
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin", "/l", "/r:2"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(m.log(), kLogHeader + path_lines(kDravoniPath, kDravoniPath) +
                           "### ERROR!! <DeviceIoControl() Transfer error(1)> ###\r\n"
                           "GetLastError() = 1117(0x0000045D)\r\n"
                           "### ERROR!! <DeviceIoControl() status error(2)> ###\r\n"
                           "pAta->CurrentTaskFile[6] = 0x51\r\n"
                           "FwUpdate Success.\r\n");
}

// DF (device fault) or BSY in the returned status: the drive did not store the block, whether
// ERR is set or not. Both paths fail the attempt and say which status they saw.
TEST(MarliskAtaUpdate, ADeviceFaultOrABusyDriveFailsTheBlockOnBothPaths) {
    struct path_case {
        std::string target;
        std::string drive;
        std::string status_line;
    };
    const path_case paths[] = {
        {"/t:" + kDravoniPath, kDravoniDrive, "pAta->CurrentTaskFile[6] = 0x"},
        {"/c:1,0000000500000001", kRaidDravoniDrive, "bStatusFIS[2] = 0x"}};
    for (const auto& path : paths) {
        for (const std::string status : {"70", "60", "D0"}) {
            SCOPED_TRACE(path.target + " " + status);
            marlisk_run m;
            m.image("fw.bin", 4 * 512);
            m.edit_machine([&](nlohmann::json& machine) {
                drive_of(machine, path.drive)["faults"] = nlohmann::json::array(
                    {{{"command", "0x92"}, {"nth", 4}, {"status", "0x" + status}, {"error", 0}}});
            });
            const auto result = m.run({path.target, "/d:fw.bin", "/l", "/r:0"});
            EXPECT_EQ(result.exit_code, 5);
            const std::string log = m.log();
            EXPECT_NE(log.find("### ERROR!! <DeviceIoControl() status error(1)> ###\r\n" +
                               path.status_line + status + "\r\nFwUpdate Fail!!\r\n"),
                      std::string::npos)
                << log;
            EXPECT_EQ(result.drive_state(path.drive).at("received"), 3 * 512);
        }
    }
}

TEST(MarliskAtaUpdate, ADiskInUseElsewhereEndsWith30BeforeAnyDownload) {
    marlisk_run m;
    m.image("fw.bin", 1024);
    m.edit_machine([](nlohmann::json& machine) { machine["disks"][1]["in_use_elsewhere"] = true; });
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin", "/l"});
    EXPECT_EQ(result.exit_code, 30);
    EXPECT_TRUE(downloads(result).empty());
    EXPECT_TRUE(window_events(result).empty());
    EXPECT_EQ(m.log(), kLogHeader + path_lines(kDravoniPath, kDravoniPath) +
                           "### ERROR!! <CreateFile() Disk open error> ###\r\n"
                           "ExitCode = 30\r\n"
                           "FwUpdate Fail!!\r\n");
}

TEST(MarliskAtaUpdate, AnAdapterThatDoesNotAnswerEndsWith33) {
    for (const bool second_query : {false, true}) {
        marlisk_run m;
        m.image("fw.bin", 1024);
        m.edit_machine([second_query](nlohmann::json& machine) {
            machine["disks"][1]["ioctl_faults"] = nlohmann::json::array(
                {{{"ioctl", "0x2D1400"}, {"nth", second_query ? 2 : 1}, {"error", 1}}});
        });
        const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin", "/l"});
        EXPECT_EQ(result.exit_code, 33);
        EXPECT_TRUE(downloads(result).empty());
        EXPECT_EQ(m.log(), kLogHeader + path_lines(kDravoniPath, kDravoniPath) +
                               "### ERROR!! <DeviceIoControl() Get haeder size error(" +
                               (second_query ? "2" : "1") +
                               ")> ###\r\n"
                               "ExitCode = 33\r\n"
                               "FwUpdate Fail!!\r\n");
    }
}

TEST(MarliskAtaUpdate, AnEmptyImageEndsWith31BeforeTheDiskIsOpened) {
    marlisk_run m;
    m.image("fw.bin", 0);
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin", "/l"});
    EXPECT_EQ(result.exit_code, 31);
    for (const auto& open : result.calls("CreateFileW")) {
        EXPECT_NE(open.value("share", -1), 0) << open.dump();
    }
    EXPECT_EQ(m.log(), kLogHeader + path_lines(kDravoniPath, kDravoniPath) +
                           "### ERROR!! <GetFileSize() error> ###\r\n"
                           "ExitCode = 31\r\n"
                           "FwUpdate Fail!!\r\n");
}
