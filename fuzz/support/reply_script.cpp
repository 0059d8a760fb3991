#include "reply_script.h"

#include <cstring>

namespace fuzz {

void reply_script::reset(const uint8_t* data, size_t size) {
    data_ = data;
    size_ = size;
    position_ = 0;
}

uint8_t reply_script::byte() {
    return exhausted() ? 0 : data_[position_++];
}

uint16_t reply_script::word() {
    const uint16_t low = byte();
    return static_cast<uint16_t>(low | byte() << 8);
}

uint32_t reply_script::dword() {
    const uint32_t low = word();
    return low | uint32_t{word()} << 16;
}

size_t reply_script::copy(uint8_t* target, size_t count) {
    const size_t taken = count < remaining() ? count : remaining();
    if (taken != 0) {
        std::memcpy(target, data_ + position_, taken);
        position_ += taken;
    }
    return taken;
}

reply_script& driver_script() {
    static reply_script script;
    return script;
}

} // namespace fuzz
