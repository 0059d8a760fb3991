#include "device/scsi_identity.h"

#include "device/scsi_request.h"

#include <string.h>

namespace skelder {

namespace {

constexpr ULONG inquiry_length = 252;
constexpr size_t serial_number_cap = 20;

bool send_inquiry(device_context& context, const UCHAR (&cdb)[6], UCHAR (&reply)[inquiry_length]) {
    memset(reply, 0, sizeof(reply));
    scsi_request request;
    prepare_scsi_request(request, context);
    request.header.CdbLength = sizeof(cdb);
    request.header.DataIn = SCSI_IOCTL_DATA_IN;
    request.header.DataTransferLength = inquiry_length;
    request.header.DataBuffer = reply;
    memcpy(request.header.Cdb, cdb, sizeof(cdb));
    return send_scsi_request(context, request);
}

std::string text_at(const UCHAR* reply, size_t offset, size_t length) {
    return std::string(reinterpret_cast<const char*>(reply) + offset, length);
}

} // namespace

void read_scsi_identity(device_context& context, drive_identity& identity) {
    UCHAR reply[inquiry_length];

    const UCHAR standard_inquiry[6] = {0x12, 0x00, 0x00, 0x00, 0xFC, 0x00};
    if (!send_inquiry(context, standard_inquiry, reply)) {
        return;
    }
    identity.vendor = text_at(reply, 8, 8);
    identity.model = text_at(reply, 16, 16);
    identity.firmware_revision = text_at(reply, 32, 4);

    const UCHAR serial_number_page[6] = {0x12, 0x01, 0x80, 0x00, 0xFC, 0x00};
    if (!send_inquiry(context, serial_number_page, reply)) {
        return;
    }
    size_t page_length = static_cast<size_t>(reply[2]) << 8 | reply[3];
    if (page_length > serial_number_cap) {
        page_length = serial_number_cap;
    }
    identity.serial_number = text_at(reply, 4, page_length);
}

} // namespace skelder
