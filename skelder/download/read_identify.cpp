#include "download/read_identify.h"

#include "device/issue_command.h"
#include "device/result_codes.h"
#include "download/ata_string.h"
#include "download/identify_data.h"
#include "download/security.h"

#include <stdio.h>

namespace skelder {

namespace {

struct standard_bit {
    unsigned bit;
    const char* name;
};
constexpr standard_bit standard_names[] = {
    {8, "ATA8-ACS "}, {9, "ACS-2 "}, {10, "ACS-3 "}, {11, "ACS-4 "}};

void take_identify_data(const unsigned char* data, drive_identity& identity) {
    identity.serial_number = ata_string(data + 2 * 10, 20);
    identity.model = ata_string(data + 2 * 27, 40);
    identity.firmware_revision = ata_string(data + 2 * 23, 8);

    identity.security_word = identify_word(data, 128);
    identity.dma_download = (identify_word(data, 69) & (1u << 8)) != 0;
    identity.segmented_download = (identify_word(data, 119) & (1u << 4)) != 0;
    identity.minimum_blocks = identify_word(data, 234);
    identity.maximum_blocks = identify_word(data, 235);

    // Appended, not replaced: each identification adds the names again.
    const uint16_t major_version = identify_word(data, 80);
    for (const standard_bit& standard : standard_names) {
        if ((major_version & (1u << standard.bit)) != 0) {
            identity.standards.emplace_back(standard.name);
        }
    }
    identity.security_state = security_state_from_word(identity.security_word);
}

} // namespace

result_code read_identify(device_context& context, drive_identity& identity,
                          identify_purpose purpose) {
    unsigned char data[512] = {};
    // Carried over from the previous command: features, LBA, device and the timeout. The
    // IDENTIFY after a download goes out with that download's subcommand, block count,
    // offset, LBA mode bit and timeout, and must keep doing so: they are not cleared here.
    context.registers.command = 0xEC;
    context.registers.count = 1;
    context.addressing = addressing_28bit;
    context.protocol = protocol_pio;
    context.direction = data_in;
    context.data_buffer = data;
    context.transfer_length = sizeof(data);
    const uint32_t cdb_flags = context.cdb_flags;
    if (purpose == identify_purpose::gate) {
        context.cdb_flags |= cdb_flag_check_condition;
    }
    const result_code result = issue_command(context);
    context.cdb_flags = cdb_flags; // only this command asks for the registers
    context.data_buffer = nullptr; // the buffer ends with this call
    if (result != result_completed) {
        if (context.verbosity != 0) {
            printf("ATA IDENTIFY (0xEC) command failed [0x%x]\n", context.last_error);
        }
        return result;
    }
    // Judged by what the buffer holds, not by the length the driver reports back: some leave it
    // unset when the data did arrive, others report it whole when nothing came.
    if (!identify_data_arrived(data)) {
        if (context.verbosity != 0) {
            printf("ATA IDENTIFY (0xEC) returned no valid data\n");
        }
        return result_device_error;
    }
    take_identify_data(data, identity);
    read_dm_capabilities(context, identity);
    return result_completed;
}

void read_dm_capabilities(device_context& context, drive_identity& identity) {
    unsigned char page[512] = {};
    // Carried over from the IDENTIFY before it: features, LBA high, device and the timeout.
    context.registers.command = 0x2F; // READ LOG EXT
    context.registers.count = 1;
    context.registers.lba_low = 0x30; // IDENTIFY DEVICE data log
    context.registers.lba_mid = 3;    // page 3: supported capabilities
    context.addressing = addressing_48bit;
    context.protocol = protocol_pio;
    context.direction = data_in;
    context.data_buffer = page;
    context.transfer_length = sizeof(page);
    const result_code result = issue_command(context);
    context.data_buffer = nullptr;
    if (result != result_completed) {
        return;
    }
    if ((log_qword(page, 0) & (1ull << 63)) == 0) {
        return; // page header not valid
    }
    const uint64_t download_capabilities = log_qword(page, 2);
    if ((download_capabilities & (1ull << 35)) != 0) {
        identity.clears_deferred_data = true;
    }
    if ((download_capabilities & (1ull << 34)) != 0) {
        identity.deferred_offsets = true;
    }
}

} // namespace skelder
