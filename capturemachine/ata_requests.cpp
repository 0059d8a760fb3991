#include "ata_requests.h"

#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>
#include <cstring>

namespace capture {
namespace {

constexpr ULONG time_limit_seconds = 15;
constexpr std::uint8_t sense_length = 32;
constexpr std::uint8_t check_condition_status = 0x02;

namespace sense_key {
constexpr std::uint8_t recovered_error = 0x01;
constexpr std::uint8_t illegal_request = 0x05;
} // namespace sense_key

// The ATA PASS-THROUGH(16) block of a PIO data-in command of one 512-byte block: T_DIR in,
// BYTE_BLOCK, T_LENGTH in COUNT, as a strict SAT layer wants it to agree with the data phase.
void ata_passthrough_cdb(const ata_query& query, bool check_condition, UCHAR (&cdb)[16]) {
    std::memset(cdb, 0, sizeof cdb);
    cdb[SAT16_OPERATION_CODE] = SAT_ATA_PASS_THROUGH_16;
    cdb[SAT16_PROTOCOL] = static_cast<UCHAR>(SAT_PROTOCOL_PIO_DATA_IN << SAT_PROTOCOL_SHIFT |
                                             (query.extended ? SAT_EXTEND : 0));
    cdb[SAT16_FLAGS] = static_cast<UCHAR>(SAT_T_DIR_IN | SAT_BYT_BLOK | SAT_T_LENGTH_COUNT |
                                          (check_condition ? SAT_CK_COND : 0));
    cdb[SAT16_COUNT] = 1;
    cdb[SAT16_LBA_LOW] = query.lba_low;
    cdb[SAT16_LBA_MID] = query.lba_mid;
    cdb[SAT16_COMMAND] = query.command;
}

template <typename Header> void scsi_header(Header& header, const scsi_address_record& address) {
    header.Length = sizeof(Header);
    header.PathId = address.path;
    header.TargetId = address.target;
    header.Lun = address.lun;
    header.SenseInfoLength = sense_length;
    header.DataIn = SCSI_IOCTL_DATA_IN;
    header.TimeOutValue = time_limit_seconds;
}

// A SCSI reply: GOOD completes; CHECK CONDITION is judged by its sense data.
route_reply judge_scsi(UCHAR status, const UCHAR* sense, UCHAR sense_returned, ULONG transferred) {
    route_reply reply;
    reply.transferred = transferred;
    if (status == 0) {
        reply.result = outcome::completed;
        return reply;
    }
    reply.sense.assign(sense, sense + sense_returned);
    sense_fields fields;
    if (status != check_condition_status || !decode_sense(reply.sense, fields)) {
        reply.result = outcome::request_failed;
        return reply;
    }
    if (fields.key == sense_key::illegal_request) {
        reply.result = outcome::sat_refused;
    } else if (fields.key == sense_key::recovered_error && fields.asc == 0 && fields.ascq == 0x1D) {
        reply.result = outcome::completed; // ATA PASS-THROUGH INFORMATION AVAILABLE (CK_COND)
    } else {
        reply.result = outcome::device_error;
    }
    return reply;
}

route_reply failed_call() {
    route_reply reply;
    reply.error = ::GetLastError();
    return reply;
}

route_reply scsi_direct(HANDLE disk, const scsi_address_record& address, const UCHAR (&cdb)[16],
                        UCHAR cdb_length, std::uint8_t* data, ULONG length) {
    struct request {
        SCSI_PASS_THROUGH_DIRECT header;
        UCHAR sense[sense_length];
    } block{};
    scsi_header(block.header, address);
    block.header.CdbLength = cdb_length;
    block.header.DataTransferLength = length;
    block.header.DataBuffer = data;
    block.header.SenseInfoOffset = offsetof(request, sense);
    std::memcpy(block.header.Cdb, cdb, sizeof cdb);
    DWORD returned = 0;
    if (!::DeviceIoControl(disk, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block, &block,
                           sizeof block, &returned, nullptr)) {
        return failed_call();
    }
    return judge_scsi(block.header.ScsiStatus, block.sense, block.header.SenseInfoLength,
                      block.header.DataTransferLength);
}

route_reply scsi_buffered(HANDLE disk, const scsi_address_record& address, const UCHAR (&cdb)[16],
                          UCHAR cdb_length, std::uint8_t* data, ULONG length) {
    struct request {
        SCSI_PASS_THROUGH header;
        UCHAR sense[sense_length];
        UCHAR data[512];
    } block{};
    if (length > sizeof block.data) {
        return route_reply{};
    }
    scsi_header(block.header, address);
    block.header.CdbLength = cdb_length;
    block.header.DataTransferLength = length;
    block.header.DataBufferOffset = offsetof(request, data);
    block.header.SenseInfoOffset = offsetof(request, sense);
    std::memcpy(block.header.Cdb, cdb, sizeof cdb);
    DWORD returned = 0;
    if (!::DeviceIoControl(disk, IOCTL_SCSI_PASS_THROUGH, &block, sizeof block, &block,
                           sizeof block, &returned, nullptr)) {
        return failed_call();
    }
    std::memcpy(data, block.data, length);
    return judge_scsi(block.header.ScsiStatus, block.sense, block.header.SenseInfoLength,
                      block.header.DataTransferLength);
}

template <typename Header>
void ata_header(Header& header, const scsi_address_record& address, const ata_query& query) {
    header.Length = sizeof(Header);
    header.AtaFlags = ATA_FLAGS_DRDY_REQUIRED | ATA_FLAGS_DATA_IN |
                      (query.extended ? ATA_FLAGS_48BIT_COMMAND : 0);
    header.PathId = address.path;
    header.TargetId = address.target;
    header.Lun = address.lun;
    header.DataTransferLength = 512;
    header.TimeOutValue = time_limit_seconds;
    header.CurrentTaskFile[1] = 1; // count
    header.CurrentTaskFile[2] = query.lba_low;
    header.CurrentTaskFile[3] = query.lba_mid;
    header.CurrentTaskFile[6] = query.command;
}

// The returned task file: error in byte 0, status in byte 6.
route_reply judge_ata(const UCHAR (&task_file)[8], ULONG transferred) {
    route_reply reply;
    reply.transferred = transferred;
    reply.result =
        (task_file[6] & ATA_STATUS_ERR) != 0 ? outcome::device_error : outcome::completed;
    return reply;
}

route_reply ata_direct(HANDLE disk, const scsi_address_record& address, const ata_query& query,
                       std::uint8_t (&data)[512]) {
    ATA_PASS_THROUGH_DIRECT block{};
    ata_header(block, address, query);
    block.DataBuffer = data;
    DWORD returned = 0;
    if (!::DeviceIoControl(disk, IOCTL_ATA_PASS_THROUGH_DIRECT, &block, sizeof block, &block,
                           sizeof block, &returned, nullptr)) {
        return failed_call();
    }
    return judge_ata(block.CurrentTaskFile, block.DataTransferLength);
}

route_reply ata_buffered(HANDLE disk, const scsi_address_record& address, const ata_query& query,
                         std::uint8_t (&data)[512]) {
    struct request {
        ATA_PASS_THROUGH_EX header;
        UCHAR data[512];
    } block{};
    ata_header(block.header, address, query);
    block.header.DataBufferOffset = offsetof(request, data);
    DWORD returned = 0;
    if (!::DeviceIoControl(disk, IOCTL_ATA_PASS_THROUGH, &block, sizeof block, &block, sizeof block,
                           &returned, nullptr)) {
        return failed_call();
    }
    std::memcpy(data, block.data, sizeof data);
    return judge_ata(block.header.CurrentTaskFile, block.header.DataTransferLength);
}

// SMART_RCV_DRIVE_DATA carries IDENTIFY DEVICE (and SMART commands, which a capture never sends).
// Asked as Marlisk's discovery asks it (drive number 0, drive/head 0), so the capture shows
// whether that request works on this machine.
route_reply smart_identify(HANDLE disk, std::uint8_t (&data)[512]) {
    SENDCMDINPARAMS in{};
    in.cBufferSize = IDENTIFY_BUFFER_SIZE;
    in.irDriveRegs.bSectorCountReg = 1;
    in.irDriveRegs.bSectorNumberReg = 1;
    in.irDriveRegs.bCommandReg = ID_CMD;
    constexpr DWORD header = sizeof(SENDCMDOUTPARAMS) - 1;
    UCHAR out[header + IDENTIFY_BUFFER_SIZE] = {};
    DWORD returned = 0;
    if (!::DeviceIoControl(disk, SMART_RCV_DRIVE_DATA, &in, sizeof in, out, sizeof out, &returned,
                           nullptr)) {
        return failed_call();
    }
    SENDCMDOUTPARAMS status{};
    std::memcpy(&status, out, header);
    std::memcpy(data, out + header, sizeof data);
    route_reply reply;
    reply.transferred = status.cBufferSize;
    reply.result =
        status.DriverStatus.bDriverError != 0 ? outcome::device_error : outcome::completed;
    return reply;
}

} // namespace

std::uint32_t control_code_of(disk_route route) {
    switch (route) {
    case disk_route::sat16_direct:
        return IOCTL_SCSI_PASS_THROUGH_DIRECT;
    case disk_route::sat16_buffered:
        return IOCTL_SCSI_PASS_THROUGH;
    case disk_route::ata_direct:
        return IOCTL_ATA_PASS_THROUGH_DIRECT;
    case disk_route::ata_buffered:
        return IOCTL_ATA_PASS_THROUGH;
    case disk_route::smart:
        break;
    }
    return SMART_RCV_DRIVE_DATA;
}

const char* name_of(disk_route route) {
    switch (route) {
    case disk_route::sat16_direct:
        return "IOCTL_SCSI_PASS_THROUGH_DIRECT";
    case disk_route::sat16_buffered:
        return "IOCTL_SCSI_PASS_THROUGH";
    case disk_route::ata_direct:
        return "IOCTL_ATA_PASS_THROUGH_DIRECT";
    case disk_route::ata_buffered:
        return "IOCTL_ATA_PASS_THROUGH";
    case disk_route::smart:
        break;
    }
    return "SMART_RCV_DRIVE_DATA";
}

route_reply send_ata_query(HANDLE disk, const scsi_address_record& address, disk_route route,
                           const ata_query& query, std::uint8_t (&data)[512],
                           bool check_condition) {
    UCHAR cdb[16];
    ata_passthrough_cdb(query, check_condition, cdb);
    switch (route) {
    case disk_route::sat16_direct:
        return scsi_direct(disk, address, cdb, 16, data, sizeof data);
    case disk_route::sat16_buffered:
        return scsi_buffered(disk, address, cdb, 16, data, sizeof data);
    case disk_route::ata_direct:
        return ata_direct(disk, address, query, data);
    case disk_route::ata_buffered:
        return ata_buffered(disk, address, query, data);
    case disk_route::smart:
        break;
    }
    return query.command == identify_device.command ? smart_identify(disk, data) : route_reply{};
}

route_reply send_inquiry(HANDLE disk, const scsi_address_record& address, bool direct, bool vital,
                         std::uint8_t page, std::uint8_t (&data)[252]) {
    UCHAR cdb[16] = {0x12, static_cast<UCHAR>(vital ? 1 : 0), page, 0, sizeof data, 0};
    return direct ? scsi_direct(disk, address, cdb, 6, data, sizeof data)
                  : scsi_buffered(disk, address, cdb, 6, data, sizeof data);
}

bool decode_sense(const std::vector<std::uint8_t>& sense, sense_fields& fields) {
    if (sense.empty()) {
        return false;
    }
    const auto code = sense[0] & 0x7F;
    if ((code == 0x70 || code == 0x71) && sense.size() >= 14) {
        fields = {false, static_cast<std::uint8_t>(sense[2] & 0x0F), sense[12], sense[13]};
        return true;
    }
    if ((code == 0x72 || code == 0x73) && sense.size() >= 4) {
        fields = {true, static_cast<std::uint8_t>(sense[1] & 0x0F), sense[2], sense[3]};
        return true;
    }
    return false;
}

} // namespace capture
