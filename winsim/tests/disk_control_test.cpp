// The disk's driver as programs meet it: opening rules, SCSI address, the pass-through
// requests' checks and answers, refused codes and injected faults.
#include "machine_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace winsim {
namespace {

using testing::machine_test;
using testing::make_sptd;

TEST(DiskOpen, NamesIgnoreCaseAndUnknownNamesAreNotFound) {
    machine_test sim;
    EXPECT_EQ(sim.machine().open(L"\\\\.\\physicaldrive0", GENERIC_READ, 3).error, 0u);
    EXPECT_EQ(sim.machine()
                  .open(L"\\\\?\\SCSI#DISK&VEN_HALVERN#1#{53F56307-B6BF-11D0-94F2-00A0C91EFB8B}",
                        GENERIC_READ, 3)
                  .error,
              0u);
    EXPECT_EQ(sim.machine().open(L"\\\\.\\PhysicalDrive7", GENERIC_READ, 3).error,
              static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST(DiskOpen, AnExclusiveOpenAndAnyOtherOpenExcludeEachOther) {
    machine_test sim;
    const auto first = sim.open_exclusive();
    ASSERT_NE(first, 0u);
    EXPECT_EQ(sim.machine().open(L"\\\\.\\PhysicalDrive0", GENERIC_READ, 3).error,
              static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
    sim.machine().close(first);
    const auto shared =
        sim.machine().open(L"\\\\.\\PhysicalDrive0", GENERIC_READ | GENERIC_WRITE, 3);
    ASSERT_EQ(shared.error, 0u);
    EXPECT_EQ(sim.machine().open(L"\\\\.\\PhysicalDrive0", GENERIC_READ, 3).error, 0u);
    EXPECT_EQ(sim.machine().open(L"\\\\.\\PhysicalDrive0", GENERIC_READ | GENERIC_WRITE, 0).error,
              static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
    // Read-only sharing refuses a writer that came before.
    EXPECT_EQ(sim.machine().open(L"\\\\.\\PhysicalDrive0", GENERIC_READ, FILE_SHARE_READ).error,
              static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
}

TEST(DiskOpen, ADiskInUseElsewhereRefusesOnlyExclusiveOpens) {
    auto description = testing::one_disk_machine();
    description["disks"][0]["in_use_elsewhere"] = true;
    machine_test sim(description);
    EXPECT_EQ(sim.machine().open(L"\\\\.\\PhysicalDrive0", GENERIC_READ | GENERIC_WRITE, 0).error,
              static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(sim.machine().open(L"\\\\.\\PhysicalDrive0", GENERIC_READ | GENERIC_WRITE, 3).error,
              0u);
}

TEST(DiskOpen, AProcessThatIsNotElevatedGetsAccessDeniedForDataAccess) {
    auto description = testing::one_disk_machine();
    description["elevated"] = false;
    machine_test sim(description);
    EXPECT_EQ(sim.machine().open(L"\\\\.\\PhysicalDrive0", GENERIC_READ | GENERIC_WRITE, 0).error,
              static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(sim.machine().open(L"\\\\.\\PhysicalDrive0", 0, 3).error, 0u) << "query-only open";
}

TEST(DiskAddress, AnswersTheConfiguredAddressOrTheRefusal) {
    machine_test sim;
    const auto id = sim.open_exclusive();
    SCSI_ADDRESS address{};
    std::uint32_t returned = 0;
    EXPECT_EQ(sim.machine().control(id, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address, 8, returned),
              0u);
    EXPECT_EQ(returned, 8u);
    EXPECT_EQ(address.Length, 8u);
    EXPECT_EQ(address.PortNumber, 3);
    EXPECT_EQ(address.TargetId, 5);

    auto description = testing::one_disk_machine();
    description["disks"][0]["refuse"] = {{{"ioctl", "0x41018"}, {"error", 50}}};
    machine_test refusing(description);
    const auto other = refusing.open_exclusive();
    EXPECT_EQ(refusing.machine().control(other, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address, 8,
                                         returned),
              50u);
}

TEST(ScsiPassThrough, MalformedRequestsFailWithInvalidParameterBeforeTheDrive) {
    machine_test sim;
    const auto id = sim.open_exclusive();
    std::vector<std::uint8_t> data(512);
    auto check = [&](auto&& spoil) {
        auto block = make_sptd({0x85, 0x08, 0x0E, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xEC, 0}, 1,
                               data.data(), 512);
        spoil(block);
        return sim.control(id, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block);
    };
    const auto invalid = static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER);
    EXPECT_EQ(check([](auto&) {}), 0u);
    EXPECT_EQ(check([](auto& b) { b.header.Length = 44; }), invalid);
    EXPECT_EQ(check([](auto& b) { b.header.CdbLength = 17; }), invalid);
    EXPECT_EQ(check([](auto& b) { b.header.SenseInfoOffset = 300; }), invalid);
    EXPECT_EQ(check([](auto& b) { b.header.DataBuffer = nullptr; }), invalid);
    EXPECT_EQ(check([](auto& b) { b.header.DataIn = 3; }), invalid);
    EXPECT_EQ(sim.trace("ata").size(), 1u) << "only the well-formed request reached the drive";
    auto block = make_sptd({0x12, 0, 0, 0, 0xFC, 0}, 1, data.data(), 252);
    std::uint32_t returned = 0;
    EXPECT_EQ(sim.machine().control(id, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, 40, &block,
                                    sizeof block, returned),
              invalid)
        << "input shorter than the header";
}

TEST(ScsiPassThrough, ARefusedDownloadComesBackAsCheckConditionWithSense) {
    machine_test sim;
    const auto id = sim.open_exclusive();
    std::vector<std::uint8_t> data(512);
    // Segment at offset 1 with nothing before it: out of order.
    auto block = make_sptd({0x85, 0x0A, 0x06, 0, 0x03, 0, 1, 0, 0, 0, 1, 0, 0, 0x40, 0x92, 0}, 0,
                           data.data(), 512);
    std::uint32_t returned = 0;
    ASSERT_EQ(sim.control(id, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block, &returned), 0u);
    EXPECT_EQ(block.header.ScsiStatus, 2);
    EXPECT_EQ(block.header.SenseInfoLength, 18);
    EXPECT_EQ(block.sense[0], 0x70);
    EXPECT_EQ(block.sense[2], 0x0B);
    EXPECT_EQ(returned, sizeof(SCSI_PASS_THROUGH_DIRECT) + 18);
}

TEST(ScsiPassThrough, TheBufferedCodeMovesDataAtItsOffsetInTheSameBuffer) {
    machine_test sim;
    const auto id = sim.open_exclusive();
    struct {
        SCSI_PASS_THROUGH header;
        std::uint8_t sense[32];
        std::uint8_t data[512];
    } request{};
    request.header.Length = sizeof(SCSI_PASS_THROUGH);
    request.header.CdbLength = 16;
    request.header.SenseInfoLength = 32;
    request.header.SenseInfoOffset = offsetof(decltype(request), sense);
    request.header.DataIn = SCSI_IOCTL_DATA_IN;
    request.header.DataTransferLength = 512;
    request.header.DataBufferOffset = offsetof(decltype(request), data);
    const std::uint8_t cdb[16] = {0x85, 0x08, 0x0E, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xEC, 0};
    std::memcpy(request.header.Cdb, cdb, 16);
    std::uint32_t returned = 0;
    ASSERT_EQ(sim.control(id, IOCTL_SCSI_PASS_THROUGH, &request, sizeof request, &returned), 0u);
    EXPECT_EQ(request.header.ScsiStatus, 0);
    EXPECT_EQ(request.data[27 * 2 + 1], 'H') << "model text, byte-swapped";
    EXPECT_EQ(returned, offsetof(decltype(request), data) + 512);
}

TEST(ScsiPassThrough, InjectedScsiStatusesAnswerWithoutReachingTheDrive) {
    auto description = testing::one_disk_machine();
    description["disks"][0]["scsi_faults"] = {
        {{"ata_command", "0xEC"}, {"nth", 2}, {"scsi_status", "0x18"}}};
    machine_test sim(description);
    const auto id = sim.open_exclusive();
    std::vector<std::uint8_t> data(512);
    std::vector<int> statuses;
    for (int i = 0; i < 3; ++i) {
        auto block = make_sptd({0x85, 0x08, 0x0E, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xEC, 0}, 1,
                               data.data(), 512);
        sim.control(id, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block);
        statuses.push_back(block.header.ScsiStatus);
    }
    EXPECT_EQ(statuses, (std::vector<int>{0, 0x18, 0}));
    EXPECT_EQ(sim.trace("ata").size(), 2u);
}

ATA_PASS_THROUGH_DIRECT ata_request(std::uint16_t flags, void* buffer, std::uint32_t length,
                                    std::initializer_list<std::uint8_t> current) {
    ATA_PASS_THROUGH_DIRECT request{};
    request.Length = sizeof request;
    request.AtaFlags = flags;
    request.DataTransferLength = length;
    request.TimeOutValue = 5;
    request.DataBuffer = buffer;
    std::copy(current.begin(), current.end(), request.CurrentTaskFile);
    return request;
}

TEST(AtaPassThrough, ReturnsStatusAndRegistersInTheCurrentTaskFile) {
    static_assert(sizeof(ATA_PASS_THROUGH_DIRECT) == 48, "this suite builds 64-bit");
    machine_test sim;
    const auto id = sim.open_exclusive();
    std::vector<std::uint8_t> data(512);
    auto request = ata_request(ATA_FLAGS_DRDY_REQUIRED | ATA_FLAGS_DATA_IN, data.data(), 512,
                               {0x0B, 1, 0xDB, 0x97, 0x20, 0, 0xEC});
    std::uint32_t returned = 0;
    ASSERT_EQ(sim.control(id, IOCTL_ATA_PASS_THROUGH_DIRECT, &request, sizeof request, &returned),
              0u);
    EXPECT_EQ(returned, 48u);
    EXPECT_EQ(request.CurrentTaskFile[6], 0x50) << "status";
    EXPECT_EQ(request.CurrentTaskFile[0], 0x00) << "error";
    EXPECT_EQ(request.DataTransferLength, 512u);
    EXPECT_EQ(data[27 * 2 + 1], 'H');

    // A refused command: status 0x51, error ABRT, nothing moved.
    auto refused = ata_request(ATA_FLAGS_DRDY_REQUIRED | ATA_FLAGS_DATA_OUT, data.data(), 512,
                               {0x01, 1, 0, 0, 0, 0x40, 0x92});
    ASSERT_EQ(sim.control(id, IOCTL_ATA_PASS_THROUGH_DIRECT, &refused, sizeof refused), 0u);
    EXPECT_EQ(refused.CurrentTaskFile[6], 0x51);
    EXPECT_EQ(refused.CurrentTaskFile[0], 0x04);
    EXPECT_EQ(refused.DataTransferLength, 0u);
}

TEST(AtaPassThrough, A48BitCommandTakesTheUpperHalvesFromThePreviousTaskFile) {
    machine_test sim;
    const auto id = sim.open_exclusive();
    std::vector<std::uint8_t> page(512);
    auto request =
        ata_request(ATA_FLAGS_DRDY_REQUIRED | ATA_FLAGS_DATA_IN | ATA_FLAGS_48BIT_COMMAND,
                    page.data(), 512, {0, 1, 0x30, 3, 0, 0, 0x2F});
    request.PreviousTaskFile[1] = 0x00;
    ASSERT_EQ(sim.control(id, IOCTL_ATA_PASS_THROUGH_DIRECT, &request, sizeof request), 0u);
    EXPECT_EQ(request.CurrentTaskFile[6], 0x50);
    EXPECT_EQ(page[7], 0x80);
    const auto records = sim.trace("DeviceIoControl");
    EXPECT_EQ(records.back()["ata_flags"], 0x0B);
    EXPECT_EQ(sim.trace("ata").back()["route"], "ata");
}

TEST(AtaPassThrough, ContradictoryFlagsOrLengthsAreInvalidParameters) {
    machine_test sim;
    const auto id = sim.open_exclusive();
    std::vector<std::uint8_t> data(512);
    const auto invalid = static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER);
    auto both = ata_request(ATA_FLAGS_DATA_IN | ATA_FLAGS_DATA_OUT, data.data(), 512,
                            {0, 1, 0, 0, 0, 0, 0xEC});
    EXPECT_EQ(sim.control(id, IOCTL_ATA_PASS_THROUGH_DIRECT, &both, sizeof both), invalid);
    auto neither = ata_request(ATA_FLAGS_DRDY_REQUIRED, data.data(), 512, {0, 1, 0, 0, 0, 0, 0xEC});
    EXPECT_EQ(sim.control(id, IOCTL_ATA_PASS_THROUGH_DIRECT, &neither, sizeof neither), invalid);
    auto short_length = ata_request(ATA_FLAGS_DATA_IN, data.data(), 512, {0, 1, 0, 0, 0, 0, 0xEC});
    short_length.Length = 40;
    EXPECT_EQ(sim.control(id, IOCTL_ATA_PASS_THROUGH_DIRECT, &short_length, sizeof short_length),
              invalid);
    EXPECT_TRUE(sim.trace("ata").empty());
}

// One pass-through request of `length` bytes out, by any of the four codes: a direct request's
// buffer at `at` bytes into a page, a buffered request's data at offset `at`.
std::uint32_t send_out(machine_test& sim, open_id id, std::uint32_t code, std::size_t at,
                       std::uint32_t length) {
    std::vector<std::uint8_t> storage(at + length + 8192);
    const auto base = reinterpret_cast<std::uintptr_t>(storage.data());
    auto* page = storage.data() + ((4096 - base % 4096) % 4096);
    const std::initializer_list<std::uint8_t> segment = {0x03, 1, 0, 0, 0, 0x40, 0x92};
    switch (code) {
    case IOCTL_SCSI_PASS_THROUGH_DIRECT: {
        auto block = make_sptd({0x85, 0x0A, 0x06, 0, 0x03, 0, 1, 0, 0, 0, 0, 0, 0, 0x40, 0x92, 0},
                               SCSI_IOCTL_DATA_OUT, page + at, length);
        return sim.control(id, code, &block, sizeof block);
    }
    case IOCTL_ATA_PASS_THROUGH_DIRECT: {
        auto request = ata_request(ATA_FLAGS_DATA_OUT, page + at, length, segment);
        return sim.control(id, code, &request, sizeof request);
    }
    case IOCTL_SCSI_PASS_THROUGH: {
        SCSI_PASS_THROUGH header{};
        header.Length = sizeof header;
        header.CdbLength = 16;
        header.DataIn = SCSI_IOCTL_DATA_OUT;
        header.DataTransferLength = length;
        header.DataBufferOffset = at;
        header.TimeOutValue = 5;
        const std::uint8_t cdb[16] = {0x85, 0x0A, 0x06, 0, 0x03, 0,    1,   0,
                                      0,    0,    0,    0, 0,    0x40, 0x92};
        std::memcpy(header.Cdb, cdb, sizeof cdb);
        std::memcpy(storage.data(), &header, sizeof header);
        break;
    }
    default: {
        ATA_PASS_THROUGH_EX header{};
        header.Length = sizeof header;
        header.AtaFlags = ATA_FLAGS_DATA_OUT;
        header.DataTransferLength = length;
        header.DataBufferOffset = at;
        header.TimeOutValue = 5;
        std::copy(segment.begin(), segment.end(), header.CurrentTaskFile);
        std::memcpy(storage.data(), &header, sizeof header);
        break;
    }
    }
    return sim.control(id, code, storage.data(), static_cast<std::uint32_t>(at + length));
}

// The adapter's limits, by default those of Windows' inbox AHCI miniport (128 KiB, 33 pages,
// word alignment), on every pass-through code: the caller's buffer counted page by page by its
// address, a buffered request's data at its offset in a system buffer that starts a page.
TEST(AdapterLimits, ARequestBeyondThemFailsWithInvalidParameterBeforeTheDrive) {
    struct row {
        const char* what;
        std::uint32_t code;
        nlohmann::json disk; // fields set on the disk
        std::size_t at;
        std::uint32_t length;
        const char* rule; // null: the request reaches the drive
    };
    const auto direct = IOCTL_SCSI_PASS_THROUGH_DIRECT;
    const auto ata_direct = IOCTL_ATA_PASS_THROUGH_DIRECT;
    const auto buffered = IOCTL_SCSI_PASS_THROUGH;
    const auto ata_buffered = IOCTL_ATA_PASS_THROUGH;
    const nlohmann::json none = nlohmann::json::object();
    const nlohmann::json winpe = {{"max_physical_pages", 16}};
    const nlohmann::json unlimited = {{"max_transfer_length", 0}, {"max_physical_pages", 0}};
    const row rows[] = {
        {"128 KiB, page-aligned", direct, none, 0, 131072, nullptr},
        {"128 KiB, 33 pages", direct, none, 2048, 131072, nullptr},
        {"more than 128 KiB", direct, none, 0, 131584, "max_transfer_length"},
        {"more than 128 KiB, ATA", ata_direct, none, 0, 131584, "max_transfer_length"},
        {"more than 128 KiB, buffered", buffered, none, 4096, 131584, "max_transfer_length"},
        {"no limit", direct, unlimited, 1024, 1 << 20, nullptr},
        {"16 pages of 16", direct, winpe, 0, 65536, nullptr},
        {"17 pages of 16", direct, winpe, 1024, 65536, "max_physical_pages"},
        {"17 pages of 16, ATA", ata_direct, winpe, 3072, 65536, "max_physical_pages"},
        {"16 pages of 16, unaligned", ata_direct, winpe, 1024, 61440, nullptr},
        {"17 pages of 16, buffered", buffered, winpe, 80, 65536, "max_physical_pages"},
        {"16 pages of 16, buffered", ata_buffered, winpe, 4096, 65536, nullptr},
        {"odd address", direct, none, 1, 512, "alignment_mask"},
        {"odd offset, buffered", ata_buffered, none, 81, 512, "alignment_mask"},
        {"no alignment asked", direct, {{"alignment_mask", 0}}, 1, 512, nullptr},
    };
    for (const auto& each : rows) {
        SCOPED_TRACE(each.what);
        auto description = testing::one_disk_machine();
        description["disks"][0].update(each.disk);
        machine_test sim(description);
        const auto error = send_out(sim, sim.open_exclusive(), each.code, each.at, each.length);
        const auto record = sim.trace("DeviceIoControl").back();
        if (each.rule == nullptr) {
            EXPECT_EQ(error, 0u);
            EXPECT_EQ(sim.trace("ata").size(), 1u);
            EXPECT_FALSE(record.contains("refused_by"));
            continue;
        }
        EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
        EXPECT_TRUE(sim.trace("ata").empty());
        EXPECT_EQ(record["refused_by"], each.rule);
    }
}

TEST(AdapterLimits, TheAdapterDescriptorReportsThem) {
    auto read = [](const nlohmann::json& disk) {
        auto description = testing::one_disk_machine();
        description["disks"][0].update(disk);
        machine_test sim(description);
        STORAGE_PROPERTY_QUERY query{};
        query.PropertyId = StorageAdapterProperty;
        query.QueryType = PropertyStandardQuery;
        STORAGE_ADAPTER_DESCRIPTOR descriptor{};
        std::uint32_t returned = 0;
        EXPECT_EQ(sim.machine().control(sim.open_exclusive(), IOCTL_STORAGE_QUERY_PROPERTY, &query,
                                        sizeof query, &descriptor, sizeof descriptor, returned),
                  0u);
        return descriptor;
    };
    const auto inbox = read(nlohmann::json::object());
    EXPECT_EQ(inbox.MaximumTransferLength, 131072u);
    EXPECT_EQ(inbox.MaximumPhysicalPages, 33u);
    EXPECT_EQ(inbox.AlignmentMask, 1u);
    const auto unlimited = read({{"max_transfer_length", 0}, {"max_physical_pages", 0}});
    EXPECT_EQ(unlimited.MaximumTransferLength, 0xFFFFFFFFu);
    EXPECT_EQ(unlimited.MaximumPhysicalPages, 0xFFFFFFFFu);
}

// TimeOutValue against the drive's modelled time: activating takes 8 s by default, so 5 s runs
// out; the port driver fails the request (STATUS_IO_TIMEOUT) and resets the drive. 0 sets no
// limit.
TEST(PassThroughTimeLimits, ARequestThatOutlivesItsTimeOutValueFailsWithSemTimeout) {
    struct row {
        std::uint32_t code;
        std::uint32_t seconds;
        std::uint32_t error;
    };
    const row rows[] = {
        {IOCTL_SCSI_PASS_THROUGH_DIRECT, 5, ERROR_SEM_TIMEOUT},
        {IOCTL_SCSI_PASS_THROUGH_DIRECT, 8, 0},
        {IOCTL_SCSI_PASS_THROUGH_DIRECT, 0, 0},
        {IOCTL_ATA_PASS_THROUGH_DIRECT, 5, ERROR_SEM_TIMEOUT},
        {IOCTL_ATA_PASS_THROUGH_DIRECT, 30, 0},
        {IOCTL_ATA_PASS_THROUGH_DIRECT, 0, 0},
    };
    for (const auto& each : rows) {
        SCOPED_TRACE(::testing::Message() << hex_code(each.code) << ", " << each.seconds << " s");
        machine_test sim;
        const auto id = sim.open_exclusive();
        // The whole 64 KiB image the drive expects, which activates it.
        std::vector<std::uint8_t> image(65536, 0x33);
        std::uint32_t error = 0;
        if (each.code == IOCTL_SCSI_PASS_THROUGH_DIRECT) {
            auto block =
                make_sptd({0x85, 0x0A, 0x06, 0, 0x07, 0, 0x80, 0, 0, 0, 0, 0, 0, 0x40, 0x92, 0},
                          SCSI_IOCTL_DATA_OUT, image.data(), 65536);
            block.header.TimeOutValue = each.seconds;
            error = sim.control(id, each.code, &block, sizeof block);
        } else {
            auto request = ata_request(ATA_FLAGS_DATA_OUT, image.data(), 65536,
                                       {0x07, 0x80, 0, 0, 0, 0x40, 0x92});
            request.TimeOutValue = each.seconds;
            error = sim.control(id, each.code, &request, sizeof request);
        }
        EXPECT_EQ(error, each.error);
        const bool timed_out = each.error != 0;
        const auto* target = sim.machine().find_drive("d0");
        EXPECT_EQ(target->activations(), timed_out ? 0u : 1u);
        EXPECT_EQ(target->interruptions(), timed_out ? 1u : 0u);
        EXPECT_EQ(sim.trace("ata").at(0).contains("interrupted"), timed_out);
        EXPECT_EQ(sim.trace("DeviceIoControl").back().value("refused_by", ""),
                  timed_out ? "timeout" : "");
    }
}

TEST(DriverFaults, RefusedCodesAndTheNthCallFailWithTheirWindowsError) {
    auto description = testing::one_disk_machine();
    description["disks"][0]["refuse"] = {{{"ioctl", "0x4D030"}, {"error", 1}}};
    description["disks"][0]["ioctl_faults"] = {{{"ioctl", "0x4D014"}, {"nth", 2}, {"error", 1117}}};
    machine_test sim(description);
    const auto id = sim.open_exclusive();
    std::vector<std::uint8_t> data(512);
    auto request = ata_request(ATA_FLAGS_DATA_IN, data.data(), 512, {0, 1, 0, 0, 0, 0, 0xEC});
    EXPECT_EQ(sim.control(id, IOCTL_ATA_PASS_THROUGH_DIRECT, &request, sizeof request), 1u);
    std::vector<std::uint32_t> errors;
    for (int i = 0; i < 3; ++i) {
        auto block = make_sptd({0x12, 0, 0, 0, 0xFC, 0}, 1, data.data(), 252);
        errors.push_back(sim.control(id, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block));
    }
    EXPECT_EQ(errors, (std::vector<std::uint32_t>{0, 1117, 0}));
}

// "data": "none": the command completes with the rule's status on every route, the caller's
// data-in buffer keeps what it held, the lengths say 0, and data sent never reaches the drive.
TEST(DriverFaults, ARuleWithoutDataCompletesAndLeavesTheCallersBufferAsItWas) {
    auto description = testing::one_disk_machine();
    description["drives"][0]["faults"] = {
        {{"command", "0xEC"}, {"times", 10}, {"status", "0x50"}, {"data", "none"}},
        {{"command", "0x92"}, {"status", "0x50"}, {"data", "none"}}};
    machine_test sim(description);
    const auto id = sim.open_exclusive();
    const std::vector<std::uint8_t> before(512, 0xA5);

    auto data = before;
    auto direct = make_sptd({0x85, 0x08, 0x0E, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xEC, 0}, 1,
                            data.data(), 512);
    ASSERT_EQ(sim.control(id, IOCTL_SCSI_PASS_THROUGH_DIRECT, &direct, sizeof direct), 0u);
    EXPECT_EQ(direct.header.ScsiStatus, 0);
    EXPECT_EQ(direct.header.DataTransferLength, 0u);
    EXPECT_EQ(data, before) << "SCSI pass-through, direct";

    struct {
        ATA_PASS_THROUGH_EX header;
        std::uint8_t data[512];
    } buffered{};
    buffered.header.Length = sizeof(ATA_PASS_THROUGH_EX);
    buffered.header.AtaFlags = ATA_FLAGS_DATA_IN;
    buffered.header.DataTransferLength = 512;
    buffered.header.DataBufferOffset = offsetof(decltype(buffered), data);
    buffered.header.CurrentTaskFile[6] = 0xEC;
    std::memset(buffered.data, 0xA5, sizeof buffered.data);
    ASSERT_EQ(sim.control(id, IOCTL_ATA_PASS_THROUGH, &buffered, sizeof buffered), 0u);
    EXPECT_EQ(buffered.header.CurrentTaskFile[6], 0x50);
    EXPECT_EQ(buffered.header.DataTransferLength, 0u);
    EXPECT_EQ(std::vector<std::uint8_t>(buffered.data, buffered.data + 512), before)
        << "ATA pass-through, buffered";

    SENDCMDINPARAMS in{};
    in.irDriveRegs.bCommandReg = ID_CMD;
    std::vector<std::uint8_t> out(16, 0);
    out.insert(out.end(), before.begin(), before.end());
    std::uint32_t returned = 0;
    ASSERT_EQ(sim.machine().control(id, SMART_RCV_DRIVE_DATA, &in, 32, out.data(), 528, returned),
              0u);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + 16, out.end()), before) << "SMART";

    auto image = before;
    auto whole = ata_request(ATA_FLAGS_DATA_OUT, image.data(), 512, {0x07, 1, 0, 0, 0, 0x40, 0x92});
    ASSERT_EQ(sim.control(id, IOCTL_ATA_PASS_THROUGH_DIRECT, &whole, sizeof whole), 0u);
    EXPECT_EQ(whole.CurrentTaskFile[6], 0x50);
    EXPECT_EQ(sim.machine().find_drive("d0")->microcode().size(), 0u) << "nothing reached it";
    EXPECT_EQ(sim.machine().find_drive("d0")->activations(), 0u);
}

TEST(SmartInterface, IdentifyThroughSmartRcvDriveData) {
    machine_test sim;
    const auto opened =
        sim.machine().open(L"\\\\.\\PhysicalDrive0", GENERIC_READ | GENERIC_WRITE, 3);
    SENDCMDINPARAMS in{};
    in.cBufferSize = 512;
    in.irDriveRegs.bSectorCountReg = 1;
    in.irDriveRegs.bSectorNumberReg = 1;
    in.irDriveRegs.bCommandReg = ID_CMD;
    std::vector<std::uint8_t> out(528);
    std::uint32_t returned = 0;
    ASSERT_EQ(
        sim.machine().control(opened.id, SMART_RCV_DRIVE_DATA, &in, 32, out.data(), 528, returned),
        0u);
    EXPECT_EQ(returned, 528u);
    EXPECT_EQ(out[16 + 27 * 2 + 1], 'H');
    EXPECT_EQ(sim.trace("ata").back()["route"], "smart");
}

} // namespace
} // namespace winsim
