// The CSMI controller's driver as programs meet it: the checks on the request header,
// the information requests, and STP and SSP pass-through routed by destination address.
#include "machine_fixture.h"

#include <csmi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace winsim {
namespace {

using testing::machine_test;

constexpr const wchar_t* kController = L"\\\\.\\SCSI2:";
const UCHAR kHalvern[8] = {0, 0, 0, 5, 0, 0, 0, 0};
const UCHAR kNorrix[8] = {0, 0, 0, 5, 0, 0, 0, 2};
const UCHAR kSasTarget[8] = {0x50, 0x00, 0xc5, 0, 0, 0, 0, 4};

void fill_header(void* buffer, std::uint32_t size, const char* signature, ULONG code) {
    auto& header = *static_cast<IOCTL_HEADER*>(buffer);
    header.HeaderLength = sizeof(IOCTL_HEADER);
    std::memcpy(header.Signature, signature, 8);
    header.Timeout = 60;
    header.ControlCode = code;
    header.Length = size - static_cast<ULONG>(sizeof(IOCTL_HEADER));
}

// An STP request for a command FIS with `data` bytes of data area.
std::vector<std::uint8_t> stp_request(const UCHAR (&destination)[8],
                                      std::initializer_list<std::uint8_t> fis, ULONG flags,
                                      std::uint32_t data, UCHAR phy = 0, UCHAR port = 0) {
    std::vector<std::uint8_t> buffer(sizeof(CSMI_SAS_STP_PASSTHRU_BUFFER) + data);
    fill_header(buffer.data(), static_cast<std::uint32_t>(buffer.size()), CSMI_SAS_SIGNATURE,
                CC_CSMI_SAS_STP_PASSTHRU);
    auto& request = *reinterpret_cast<CSMI_SAS_STP_PASSTHRU_BUFFER*>(buffer.data());
    request.Parameters.bPhyIdentifier = phy;
    request.Parameters.bPortIdentifier = port;
    std::memcpy(request.Parameters.bDestinationSASAddress, destination, 8);
    std::copy(fis.begin(), fis.end(), request.Parameters.bCommandFIS);
    request.Parameters.uFlags = flags;
    request.Parameters.uDataLength = data;
    return buffer;
}

const CSMI_SAS_STP_PASSTHRU_BUFFER& stp(const std::vector<std::uint8_t>& buffer) {
    return *reinterpret_cast<const CSMI_SAS_STP_PASSTHRU_BUFFER*>(buffer.data());
}

class CsmiControllerTest : public ::testing::Test {
protected:
    explicit CsmiControllerTest(const nlohmann::json& description = fwu_test::default_machine())
        : sim_(description) {}

    open_id open() {
        const auto opened = sim_.machine().open(kController, GENERIC_READ | GENERIC_WRITE, 3);
        EXPECT_EQ(opened.error, 0u);
        return opened.id;
    }
    std::uint32_t send(std::vector<std::uint8_t>& buffer) {
        return sim_.control(open(), IOCTL_SCSI_MINIPORT, buffer.data(),
                            static_cast<std::uint32_t>(buffer.size()));
    }
    static ULONG return_code(const std::vector<std::uint8_t>& buffer) {
        return reinterpret_cast<const IOCTL_HEADER*>(buffer.data())->ReturnCode;
    }

    machine_test sim_;
};

TEST_F(CsmiControllerTest, NamesIgnoreCaseAndOpensShare) {
    const auto first = sim_.machine().open(L"\\\\.\\scsi2:", GENERIC_READ | GENERIC_WRITE, 3);
    const auto second = sim_.machine().open(kController, GENERIC_READ | GENERIC_WRITE, 3);
    EXPECT_EQ(first.error, 0u);
    EXPECT_EQ(second.error, 0u);
    EXPECT_EQ(sim_.machine().open(L"\\\\.\\SCSI3:", GENERIC_READ, 3).error,
              static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST_F(CsmiControllerTest, TheDriverChecksTheRequestHeader) {
    std::vector<std::uint8_t> phy_info(sizeof(CSMI_SAS_PHY_INFO_BUFFER));
    auto reset = [&](const char* signature, ULONG code) {
        std::fill(phy_info.begin(), phy_info.end(), 0);
        fill_header(phy_info.data(), static_cast<std::uint32_t>(phy_info.size()), signature, code);
    };
    auto& header = *reinterpret_cast<IOCTL_HEADER*>(phy_info.data());

    reset(CSMI_SAS_SIGNATURE, CC_CSMI_SAS_GET_PHY_INFO);
    ASSERT_EQ(send(phy_info), 0u);
    EXPECT_EQ(return_code(phy_info), 0u);

    reset(CSMI_SAS_SIGNATURE, CC_CSMI_SAS_GET_PHY_INFO);
    header.HeaderLength = 24;
    ASSERT_EQ(send(phy_info), 0u);
    EXPECT_EQ(return_code(phy_info), static_cast<ULONG>(CSMI_SAS_STATUS_INVALID_PARAMETER));

    reset(CSMI_SAS_SIGNATURE, CC_CSMI_SAS_GET_PHY_INFO);
    header.Length -= 4; // not the buffer size less the header
    ASSERT_EQ(send(phy_info), 0u);
    EXPECT_EQ(return_code(phy_info), static_cast<ULONG>(CSMI_SAS_STATUS_INVALID_PARAMETER));

    reset(CSMI_ALL_SIGNATURE, CC_CSMI_SAS_GET_PHY_INFO); // the wrong signature for the code
    ASSERT_EQ(send(phy_info), 0u);
    EXPECT_EQ(return_code(phy_info), static_cast<ULONG>(CSMI_SAS_STATUS_INVALID_PARAMETER));

    reset(CSMI_SAS_SIGNATURE, 99);
    ASSERT_EQ(send(phy_info), 0u);
    EXPECT_EQ(return_code(phy_info), static_cast<ULONG>(CSMI_SAS_STATUS_BAD_CNTL_CODE));

    std::vector<std::uint8_t> short_buffer(20);
    EXPECT_EQ(send(short_buffer), static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(sim_.control(open(), IOCTL_SCSI_PASS_THROUGH_DIRECT, phy_info.data(), 100),
              static_cast<std::uint32_t>(ERROR_INVALID_FUNCTION));
}

TEST_F(CsmiControllerTest, InformationRequestsDescribeTheControllerAndItsPhys) {
    std::vector<std::uint8_t> driver(sizeof(CSMI_SAS_DRIVER_INFO_BUFFER));
    fill_header(driver.data(), 204, CSMI_ALL_SIGNATURE, CC_CSMI_SAS_GET_DRIVER_INFO);
    ASSERT_EQ(send(driver), 0u);
    const auto& info =
        reinterpret_cast<const CSMI_SAS_DRIVER_INFO_BUFFER*>(driver.data())->Information;
    EXPECT_STREQ(reinterpret_cast<const char*>(info.szName), "simsas");
    EXPECT_EQ(info.usMajorRevision, 2);
    EXPECT_EQ(info.usCSMIMinorRevision, 82);

    std::vector<std::uint8_t> config(sizeof(CSMI_SAS_CNTLR_CONFIG_BUFFER));
    fill_header(config.data(), 208, CSMI_ALL_SIGNATURE, CC_CSMI_SAS_GET_CNTLR_CONFIG);
    ASSERT_EQ(send(config), 0u);
    const auto& cntlr =
        reinterpret_cast<const CSMI_SAS_CNTLR_CONFIG_BUFFER*>(config.data())->Configuration;
    EXPECT_EQ(cntlr.uBoardID, 0x10001000u);
    EXPECT_EQ(cntlr.uControllerFlags, 1u);

    std::vector<std::uint8_t> phys(sizeof(CSMI_SAS_PHY_INFO_BUFFER));
    fill_header(phys.data(), 2080, CSMI_SAS_SIGNATURE, CC_CSMI_SAS_GET_PHY_INFO);
    ASSERT_EQ(send(phys), 0u);
    const auto& table = reinterpret_cast<const CSMI_SAS_PHY_INFO_BUFFER*>(phys.data())->Information;
    EXPECT_EQ(table.bNumberOfPhys, 5);
    EXPECT_EQ(table.Phy[0].Attached.bTargetPortProtocol, CSMI_SAS_PROTOCOL_SATA);
    EXPECT_EQ(table.Phy[1].Attached.bTargetPortProtocol, CSMI_SAS_PROTOCOL_STP);
    EXPECT_EQ(table.Phy[4].Attached.bTargetPortProtocol, CSMI_SAS_PROTOCOL_SSP);
    EXPECT_EQ(std::memcmp(table.Phy[2].Attached.bSASAddress, kNorrix, 8), 0);
    EXPECT_EQ(table.Phy[3].Identify.bDeviceType, 1);
    EXPECT_EQ(table.Phy[3].Attached.bDeviceType, 0);
    EXPECT_EQ(table.Phy[4].bPortIdentifier, 4);
    EXPECT_EQ(table.Phy[5].Identify.bDeviceType, 0);
}

TEST_F(CsmiControllerTest, RaidConfigurationListsTheSetMembers) {
    std::vector<std::uint8_t> raid(1152);
    fill_header(raid.data(), 1152, CSMI_RAID_SIGNATURE, CC_CSMI_SAS_GET_RAID_CONFIG);
    ASSERT_EQ(send(raid), 0u);
    EXPECT_EQ(return_code(raid), 0u);
    const auto& set =
        reinterpret_cast<const CSMI_SAS_RAID_CONFIG_BUFFER*>(raid.data())->Configuration;
    ASSERT_EQ(set.bDriveCount, 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(set.Drives[0].bModel), 14),
              "DRAVONI KX2000");
    EXPECT_EQ(set.Drives[0].bSASAddress[7], 1);

    std::fill(raid.begin(), raid.end(), 0);
    fill_header(raid.data(), 1152, CSMI_RAID_SIGNATURE, CC_CSMI_SAS_GET_RAID_CONFIG);
    reinterpret_cast<CSMI_SAS_RAID_CONFIG_BUFFER*>(raid.data())->Configuration.uRaidSetIndex = 7;
    ASSERT_EQ(send(raid), 0u);
    EXPECT_EQ(return_code(raid), static_cast<ULONG>(CSMI_SAS_STATUS_INVALID_PARAMETER));
}

// Real drivers route by the destination address; phy and port are only recorded.
TEST_F(CsmiControllerTest, StpGoesToTheDestinationAndReturnsTheStatusFis) {
    auto request =
        stp_request(kNorrix, {0x27, 0x80, 0xEC}, CSMI_SAS_STP_PIO | CSMI_SAS_STP_READ, 512, 4, 9);
    ASSERT_EQ(send(request), 0u);
    EXPECT_EQ(return_code(request), 0u);
    const auto& reply = stp(request);
    EXPECT_EQ(reply.Status.bConnectionStatus, 0);
    EXPECT_EQ(reply.Status.bStatusFIS[0], 0x34);
    EXPECT_EQ(reply.Status.bStatusFIS[2], 0x50);
    EXPECT_EQ(reply.Status.uDataBytes, 512u);
    // IDENTIFY word 27 starts the model: "NO" of "NORRIX".
    EXPECT_EQ(reply.bDataBuffer[54], 'O');
    EXPECT_EQ(reply.bDataBuffer[55], 'N');
    const auto ata = sim_.trace("ata");
    ASSERT_EQ(ata.size(), 1u);
    EXPECT_EQ(ata[0]["drive"], "scsi2-phy2-norrix");
    EXPECT_EQ(ata[0]["route"], "stp");
    EXPECT_EQ(ata[0]["phy"], 4);
    EXPECT_EQ(ata[0]["port"], 9);
    EXPECT_EQ(ata[0]["destination"], "0000000500000002");
}

TEST_F(CsmiControllerTest, StpDataOutReachesTheDrive) {
    auto request =
        stp_request(kHalvern, {0x27, 0x80, 0x92, 0x0E, 0x00, 0x00, 0x00, 0x40, 0, 0, 0, 0, 0x01},
                    CSMI_SAS_STP_PIO | CSMI_SAS_STP_WRITE, 512);
    std::fill(request.begin() + 164, request.begin() + 164 + 512, 0xA5);
    ASSERT_EQ(send(request), 0u);
    EXPECT_EQ(stp(request).Status.bStatusFIS[2], 0x50);
    const auto ata = sim_.trace("ata");
    ASSERT_EQ(ata.size(), 1u);
    EXPECT_EQ(ata[0]["dir"], "out");
    EXPECT_EQ(ata[0]["length"], 512);
    EXPECT_EQ(ata[0]["features"], 0x0E);
}

TEST_F(CsmiControllerTest, StpRequestsTheDriverCannotCarry) {
    auto nowhere = stp_request({0, 0, 0, 5, 0, 0, 0, 9}, {0x27, 0x80, 0xE7}, CSMI_SAS_STP_PIO, 0);
    ASSERT_EQ(send(nowhere), 0u);
    EXPECT_EQ(stp(nowhere).Status.bConnectionStatus, CSMI_SAS_OPEN_REJECT_NO_DESTINATION);

    auto sas = stp_request(kSasTarget, {0x27, 0x80, 0xE7}, CSMI_SAS_STP_PIO, 0);
    ASSERT_EQ(send(sas), 0u);
    EXPECT_EQ(stp(sas).Status.bConnectionStatus, CSMI_SAS_OPEN_REJECT_PROTOCOL_NOT_SUPPORTED);

    // More data than the buffer holds, both directions, or not a register FIS.
    auto too_long = stp_request(kHalvern, {0x27, 0x80, 0xEC}, CSMI_SAS_STP_READ, 512);
    reinterpret_cast<CSMI_SAS_STP_PASSTHRU_BUFFER*>(too_long.data())->Parameters.uDataLength = 1024;
    auto both =
        stp_request(kHalvern, {0x27, 0x80, 0xEC}, CSMI_SAS_STP_READ | CSMI_SAS_STP_WRITE, 512);
    auto not_h2d = stp_request(kHalvern, {0x34, 0x80, 0xEC}, CSMI_SAS_STP_READ, 512);
    for (auto* bad : {&too_long, &both, &not_h2d}) {
        ASSERT_EQ(send(*bad), 0u);
        EXPECT_EQ(return_code(*bad), static_cast<ULONG>(CSMI_SAS_STATUS_INVALID_PARAMETER));
    }
    EXPECT_TRUE(sim_.trace("ata").empty());
}

nlohmann::json machine_with_faults() {
    auto description = fwu_test::default_machine();
    auto& controller = description["controllers"][0];
    // Each rule counts every matching request: the nth picks its turn.
    controller["faults"] = {
        {{"request", "stp"}, {"ata_command", 0xE7}, {"error", 1117}},
        {{"request", "stp"}, {"ata_command", 0xE7}, {"nth", 2}, {"return_code", 1}},
        {{"request", "stp"}, {"ata_command", 0xE7}, {"nth", 3}, {"connection_status", 4}},
        {{"request", "driver_info"}, {"nth", 2}, {"error", 21}},
    };
    for (auto& drive : description["drives"]) {
        if (drive["id"] == "scsi2-phy0-halvern") {
            drive["faults"] = {
                {{"command", 0xE7}, {"route", "stp"}, {"status", 0x51}, {"error", 4}}};
        }
    }
    return description;
}

class CsmiControllerFaultTest : public CsmiControllerTest {
protected:
    CsmiControllerFaultTest() : CsmiControllerTest(machine_with_faults()) {}
};

TEST_F(CsmiControllerFaultTest, FaultsAnswerInTurnByRequestKind) {
    auto request = [] { return stp_request(kHalvern, {0x27, 0x80, 0xE7}, CSMI_SAS_STP_PIO, 0); };
    auto first = request();
    EXPECT_EQ(send(first), 1117u);
    auto second = request();
    ASSERT_EQ(send(second), 0u);
    EXPECT_EQ(return_code(second), 1u);
    auto third = request();
    ASSERT_EQ(send(third), 0u);
    EXPECT_EQ(stp(third).Status.bConnectionStatus, 4);
    EXPECT_TRUE(sim_.trace("ata").empty()); // none of these reached the drive
    // Then the drive's own fault: ERR in the status FIS.
    auto fourth = request();
    ASSERT_EQ(send(fourth), 0u);
    EXPECT_EQ(return_code(fourth), 0u);
    EXPECT_EQ(stp(fourth).Status.bStatusFIS[2], 0x51);
    EXPECT_EQ(stp(fourth).Status.bStatusFIS[3], 0x04);

    std::vector<std::uint8_t> driver(sizeof(CSMI_SAS_DRIVER_INFO_BUFFER));
    fill_header(driver.data(), 204, CSMI_ALL_SIGNATURE, CC_CSMI_SAS_GET_DRIVER_INFO);
    EXPECT_EQ(send(driver), 0u);
    EXPECT_EQ(send(driver), 21u);
}

nlohmann::json machine_without_data() {
    auto description = fwu_test::default_machine();
    for (auto& drive : description["drives"]) {
        if (drive["id"] == "scsi2-phy0-halvern") {
            drive["faults"] = {{{"command", 0xEC}, {"status", 0x50}, {"data", "none"}}};
        }
    }
    description["controllers"][0]["faults"] = {
        {{"request", "stp"}, {"ata_command", 0xEC}, {"nth", 2}, {"data", "none"}}};
    return description;
}

class CsmiNoDataTest : public CsmiControllerTest {
protected:
    CsmiNoDataTest() : CsmiControllerTest(machine_without_data()) {}
};

// "data": "none" on the drive: the status FIS carries the rule's status and the data area keeps
// what it held. On the controller: ReturnCode 0 for a request never carried out, which comes
// back as it was sent.
TEST_F(CsmiNoDataTest, RulesWithoutDataCompleteAndLeaveTheDataAreaAsItWas) {
    for (const bool controller_rule : {false, true}) {
        SCOPED_TRACE(controller_rule ? "controller" : "drive");
        auto request = stp_request(kHalvern, {0x27, 0x80, 0xEC}, CSMI_SAS_STP_READ, 512);
        std::fill(request.end() - 512, request.end(), std::uint8_t{0xA5});
        ASSERT_EQ(send(request), 0u);
        EXPECT_EQ(return_code(request), 0u);
        EXPECT_EQ(stp(request).Status.bConnectionStatus, 0);
        EXPECT_EQ(stp(request).Status.bStatusFIS[2], controller_rule ? 0x00 : 0x50);
        EXPECT_EQ(stp(request).Status.uDataBytes, 0u);
        EXPECT_TRUE(std::all_of(request.end() - 512, request.end(),
                                [](std::uint8_t byte) { return byte == 0xA5; }));
    }
    EXPECT_EQ(sim_.trace("ata").size(), 1u) << "the controller's rule kept the second away";
}

// The header's Timeout against the drive's modelled time, as for the disks' TimeOutValue; a
// driver that takes Timeout literally (`expires_timeout_zero`) fails any request with 0 at once
// and resets an STP target in the middle of its command.
TEST(CsmiTimeLimits, ARequestThatOutlivesItsTimeoutFailsWithSemTimeout) {
    struct row {
        bool expires_zero;
        ULONG code;
        ULONG timeout;
        std::uint32_t error;
        const char* rule;
    };
    const auto stp_code = CC_CSMI_SAS_STP_PASSTHRU;
    const auto info_code = CC_CSMI_SAS_GET_DRIVER_INFO;
    const row rows[] = {
        {false, stp_code, 5, ERROR_SEM_TIMEOUT, "timeout"},
        {false, stp_code, 30, 0, nullptr},
        {false, stp_code, 0, 0, nullptr},
        {false, info_code, 0, 0, nullptr},
        {true, stp_code, 0, ERROR_SEM_TIMEOUT, "expires_timeout_zero"},
        {true, info_code, 0, ERROR_SEM_TIMEOUT, "expires_timeout_zero"},
        {true, stp_code, 30, 0, nullptr},
    };
    for (const auto& each : rows) {
        SCOPED_TRACE(::testing::Message()
                     << "expires_timeout_zero " << each.expires_zero << ", code " << each.code
                     << ", Timeout " << each.timeout);
        auto description = fwu_test::default_machine();
        description["controllers"][0]["expires_timeout_zero"] = each.expires_zero;
        for (auto& drive : description["drives"]) {
            if (drive["id"] == "scsi2-phy0-halvern") {
                drive["microcode"]["expected_length"] = 512;
            }
        }
        machine_test sim(description);
        // The whole one-block image the drive expects, which activates it.
        auto request =
            each.code == stp_code
                ? stp_request(kHalvern, {0x27, 0x80, 0x92, 0x07, 0, 0, 0, 0x40, 0, 0, 0, 0, 0x01},
                              CSMI_SAS_STP_PIO | CSMI_SAS_STP_WRITE, 512)
                : std::vector<std::uint8_t>(sizeof(CSMI_SAS_DRIVER_INFO_BUFFER));
        if (each.code == info_code) {
            fill_header(request.data(), static_cast<std::uint32_t>(request.size()),
                        CSMI_ALL_SIGNATURE, info_code);
        }
        reinterpret_cast<IOCTL_HEADER*>(request.data())->Timeout = each.timeout;
        const auto id = sim.machine().open(kController, GENERIC_READ | GENERIC_WRITE, 3).id;
        EXPECT_EQ(sim.control(id, IOCTL_SCSI_MINIPORT, request.data(),
                              static_cast<std::uint32_t>(request.size())),
                  each.error);
        EXPECT_EQ(sim.trace("DeviceIoControl").back().value("refused_by", ""),
                  each.rule != nullptr ? each.rule : "");
        if (each.code == stp_code) {
            const auto* target = sim.machine().find_drive("scsi2-phy0-halvern");
            const bool timed_out = each.error != 0;
            EXPECT_EQ(target->interruptions(), timed_out ? 1u : 0u);
            EXPECT_EQ(target->activations(), timed_out ? 0u : 1u);
        }
    }
}

TEST_F(CsmiControllerTest, SspInquiryAnswersOnlyFromASasTarget) {
    auto inquiry = [](const UCHAR(&destination)[8]) {
        std::vector<std::uint8_t> buffer(468);
        fill_header(buffer.data(), 468, CSMI_SAS_SIGNATURE, CC_CSMI_SAS_SSP_PASSTHRU);
        auto& request = *reinterpret_cast<CSMI_SAS_SSP_PASSTHRU_BUFFER*>(buffer.data());
        std::memcpy(request.Parameters.bDestinationSASAddress, destination, 8);
        request.Parameters.bCDBLength = 6;
        const UCHAR cdb[6] = {0x12, 0, 0, 0, 96, 0};
        std::memcpy(request.Parameters.bCDB, cdb, 6);
        request.Parameters.uFlags = CSMI_SAS_SSP_READ;
        request.Parameters.uDataLength = 96;
        return buffer;
    };
    auto target = inquiry(kSasTarget);
    ASSERT_EQ(send(target), 0u);
    const auto& reply = *reinterpret_cast<const CSMI_SAS_SSP_PASSTHRU_BUFFER*>(target.data());
    EXPECT_EQ(reply.Status.bConnectionStatus, 0);
    EXPECT_EQ(reply.Status.uDataBytes, 96u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply.bDataBuffer) + 8, 8), "SIMSAS  ");

    auto sata = inquiry(kHalvern);
    ASSERT_EQ(send(sata), 0u);
    EXPECT_EQ(reinterpret_cast<const CSMI_SAS_SSP_PASSTHRU_BUFFER*>(sata.data())
                  ->Status.bConnectionStatus,
              CSMI_SAS_OPEN_REJECT_PROTOCOL_NOT_SUPPORTED);
}

} // namespace
} // namespace winsim
