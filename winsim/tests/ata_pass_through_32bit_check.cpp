// The 32-bit layouts, as a 32-bit program (NorrixUpdater, Marlisk) sends them:
// ATA_PASS_THROUGH_DIRECT of 40 bytes and SCSI_PASS_THROUGH_DIRECT of 44, on the
// default machine. No test framework exists for -m32 here; the exit code tells.
#include <windows.h>
#include <ntddscsi.h>

#include <cstdio>
#include <cstring>

static_assert(sizeof(void*) == 4, "built with -m32");
static_assert(sizeof(ATA_PASS_THROUGH_DIRECT) == 40 && sizeof(ATA_PASS_THROUGH_EX) == 40);
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 44 && sizeof(SCSI_PASS_THROUGH) == 44);
static_assert(offsetof(ATA_PASS_THROUGH_DIRECT, DataBuffer) == 20);
static_assert(offsetof(ATA_PASS_THROUGH_DIRECT, CurrentTaskFile) == 32);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == 28);

namespace {

int failures = 0;

void expect(bool condition, const char* what) {
    if (!condition) {
        std::printf("FAILED: %s\n", what);
        ++failures;
    }
}

} // namespace

int main() {
    HANDLE disk =
        CreateFileW(L"\\\\.\\PhysicalDrive2", GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    expect(disk != INVALID_HANDLE_VALUE, "open the Norrix disk");

    unsigned char identify[512] = {};
    ATA_PASS_THROUGH_DIRECT ata{};
    ata.Length = sizeof ata;
    ata.AtaFlags = ATA_FLAGS_DRDY_REQUIRED | ATA_FLAGS_DATA_IN;
    ata.DataTransferLength = sizeof identify;
    ata.TimeOutValue = 5;
    ata.DataBuffer = identify;
    ata.CurrentTaskFile[1] = 1;
    ata.CurrentTaskFile[6] = 0xEC;
    DWORD returned = 0;
    expect(DeviceIoControl(disk, IOCTL_ATA_PASS_THROUGH_DIRECT, &ata, sizeof ata, &ata, sizeof ata,
                           &returned, nullptr) != FALSE,
           "ATA pass-through call");
    expect(returned == 40, "40 bytes returned");
    expect(ata.CurrentTaskFile[6] == 0x50, "status 0x50");
    expect(ata.DataTransferLength == 512, "512 bytes moved");
    expect(identify[27 * 2 + 1] == 'N' && identify[27 * 2] == 'O', "model begins NO");
    expect((identify[153 * 2 + 1]) != 0, "type character in word 153");

    struct {
        SCSI_PASS_THROUGH_DIRECT header;
        unsigned char sense[32];
    } scsi{};
    unsigned char inquiry[96] = {};
    scsi.header.Length = sizeof scsi.header;
    scsi.header.CdbLength = 6;
    scsi.header.SenseInfoLength = sizeof scsi.sense;
    scsi.header.SenseInfoOffset = sizeof scsi.header;
    scsi.header.DataIn = SCSI_IOCTL_DATA_IN;
    scsi.header.DataTransferLength = sizeof inquiry;
    scsi.header.DataBuffer = inquiry;
    const unsigned char cdb[6] = {0x12, 0, 0, 0, sizeof inquiry, 0};
    std::memcpy(scsi.header.Cdb, cdb, sizeof cdb);
    expect(DeviceIoControl(disk, IOCTL_SCSI_PASS_THROUGH_DIRECT, &scsi, sizeof scsi, &scsi,
                           sizeof scsi, &returned, nullptr) != FALSE,
           "SCSI pass-through call");
    expect(scsi.header.ScsiStatus == 0, "good status");
    expect(std::memcmp(inquiry + 16, "NORRIX NX500", 12) == 0, "product at byte 16");

    BOOL wow64 = FALSE;
    expect(IsWow64Process(GetCurrentProcess(), &wow64) && wow64,
           "32-bit process on 64-bit Windows");
    CloseHandle(disk);
    std::printf("%d passed, %d failed\n", failures == 0 ? 1 : 0, failures == 0 ? 0 : 1);
    return failures == 0 ? 0 : 1;
}
