// Discovery of the Dravoni drives and the controller mode scan, seen through whole runs.
#include "marlisk_run.h"

#include <gtest/gtest.h>

using namespace marlisk_test;

namespace {

nlohmann::json setup_device(const std::string& class_name, const std::string& guid,
                            const std::string& description) {
    return {{"class", class_name}, {"class_guid", guid}, {"description", description}};
}

const std::string kHdcGuid = "{4d36e96a-e325-11ce-bfc1-08002be10318}";
const std::string kScsiGuid = "{4d36e97b-e325-11ce-bfc1-08002be10318}";
const std::string kDiskGuid = "{4d36e967-e325-11ce-bfc1-08002be10318}";

} // namespace

TEST(MarliskDiscovery, IdentifiesEachDiskThroughSmartAndOpensItShared) {
    marlisk_run m;
    m.image("fw.bin", 512);
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin"});
    ASSERT_EQ(result.exit_code, 0);
    std::vector<std::string> identified;
    for (const auto& command : result.ata_commands()) {
        if (command.at("command") == 0xEC) {
            EXPECT_EQ(command.at("route"), "smart");
            EXPECT_EQ(command.at("count"), 1);
            EXPECT_EQ(command.at("lba_low"), 1);
            identified.push_back(command.at("drive"));
        }
    }
    EXPECT_EQ(identified, (std::vector<std::string>{"pd0-halvern", kDravoniDrive, "pd2-norrix"}));
    for (const auto& call : result.calls("DeviceIoControl")) {
        if (call.value("ioctl", "") == "0x7C088") {
            EXPECT_EQ(call.at("in_len"), 33);
            EXPECT_EQ(call.at("out_len"), 528);
        }
    }
    const auto opens = result.calls("CreateFileW");
    ASSERT_GE(opens.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(opens[i].at("share"), 3) << opens[i].dump();
    }
}

TEST(MarliskDiscovery, AModelWithLeadingBlanksIsListed) {
    marlisk_run m;
    m.image("fw.bin", 512);
    m.edit_machine([](nlohmann::json& machine) {
        drive_of(machine, kDravoniDrive)["identify"]["model"] = "   DRAVONI KX2000";
    });
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(downloads(result).size(), 1u);
    for (const auto& event : window_events(result)) {
        if (event.value("control", 0) == 1011) {
            EXPECT_EQ(event.at("value"), "<DRAVONI KX2000>");
        }
    }
}

TEST(MarliskDiscovery, AModelPrefixInOtherLetterCaseIsNotListed) {
    marlisk_run m;
    m.image("fw.bin", 512);
    m.edit_machine([](nlohmann::json& machine) {
        drive_of(machine, kDravoniDrive)["identify"]["model"] = "Dravoni KX2000";
    });
    EXPECT_EQ(m.run({"/t:" + kDravoniPath, "/d:fw.bin"}).exit_code, 2);
}

TEST(MarliskDiscovery, ADiskThatRefusesSmartIdentifyIsNotListed) {
    marlisk_run m;
    m.image("fw.bin", 512);
    m.edit_machine([](nlohmann::json& machine) {
        machine["disks"][1]["refuse"] =
            nlohmann::json::array({{{"ioctl", "0x7C088"}, {"error", 1}}});
    });
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin", "/l"});
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(m.log(), kLogHeader + "### ERROR!! <IDS_NOT_CONNECTED> ###\r\nExitCode = 2\r\n");
}

TEST(MarliskDiscovery, ADiskWhosePathDoesNotFitTheRecordIsSkipped) {
    marlisk_run m;
    m.image("fw.bin", 512);
    // 260 characters: the system hands it over, but the record holds 259 and a terminator.
    const std::string head = "\\\\?\\scsi#disk&ven_dravoni&prod_kx2000#";
    const std::string tail = "#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
    const std::string long_path = head + std::string(260 - head.size() - tail.size(), 'a') + tail;
    ASSERT_EQ(long_path.size(), 260u);
    m.edit_machine([&long_path](nlohmann::json& machine) {
        machine["disks"][1]["interface_path"] = long_path;
    });
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin"});
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_TRUE(downloads(result).empty());
}

TEST(MarliskControllerMode, TheScanStopsAtTheFirstAhciOrRaidController) {
    marlisk_run m;
    m.image("fw.bin", 512);
    m.edit_machine([](nlohmann::json& machine) {
        machine["setup_devices"] = nlohmann::json::array(
            {setup_device("hdc", kHdcGuid, "Intel(R) ICH8 SATA RAID Controller"),
             setup_device("SCSIAdapter", kScsiGuid, "Standard Dual Channel IDE Controller")});
    });
    const auto result = m.run({"/t:" + kDravoniPath, "/d:fw.bin"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.calls("SetupDiEnumDeviceInfo").size(), 1u);
}

TEST(MarliskControllerMode, WithoutAStopTheLastDeviceDecides) {
    // An AHCI "Standard" controller stops at once; a Standard one without AHCI (10h) does
    // not stop, and a later device of another class gives 00h.
    struct scan_case {
        nlohmann::json devices;
        int exit_code;
    };
    const std::vector<scan_case> cases = {
        {{setup_device("hdc", kHdcGuid, "Standard SATA RAID Controller"),
          setup_device("DiskDrive", kDiskGuid, "Disk drive")},
         3},
        {{setup_device("DiskDrive", kDiskGuid, "Disk drive"),
          setup_device("hdc", kHdcGuid, "Intel(R) ICH8 SATA Controller")},
         3},
        {{setup_device("SCSIAdapter", kScsiGuid, "NVIDIA nForce Serial ATA Controller"),
          setup_device("SCSIAdapter", kScsiGuid, "Standard SATA AHCI Controller")},
         0},
        // Class names are tested case-sensitively: "HDC" is not examined.
        {{setup_device("HDC", kHdcGuid, "Standard SATA AHCI Controller")}, 3},
        {{setup_device("SCSIAdapterX", kScsiGuid, "Intel RAID")}, 0},
    };
    for (const auto& [devices, exit_code] : cases) {
        marlisk_run m;
        m.image("fw.bin", 512);
        m.edit_machine([&devices](nlohmann::json& machine) { machine["setup_devices"] = devices; });
        EXPECT_EQ(m.run({"/t:" + kDravoniPath, "/d:fw.bin"}).exit_code, exit_code)
            << devices.dump();
    }
}
