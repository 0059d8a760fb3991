#include "device/signature_identify.h"

#include "device/issue_command.h"

namespace skelder {

result_code send_signature_identify(device_context& context) {
    unsigned char reply[512] = {};
    // Carried over from the previous command: the device register and the timeout.
    context.data_buffer = reply;
    context.transfer_length = sizeof(reply);
    context.direction = data_in;
    context.addressing = addressing_28bit;
    context.protocol = protocol_pio;
    context.registers.command = 0xEC;
    context.registers.features = 0x0B;
    context.registers.count = 1;
    context.registers.lba_low = 0xDB;
    context.registers.lba_mid = 0x97;
    context.registers.lba_high = 0x20;
    const result_code result = issue_command(context);
    context.data_buffer = nullptr; // the buffer ends with this call
    return result;
}

} // namespace skelder
