#include <winsim/device_clock.h>

#include <thread>

namespace winsim {

device_clock::device_clock(bool virtual_time)
    : virtual_(virtual_time), start_(std::chrono::steady_clock::now()) {}

void device_clock::advance(std::uint64_t milliseconds) {
    elapsed_ms_ += milliseconds;
    if (!virtual_ && milliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

std::uint64_t device_clock::tick_ms() const {
    // Windows' tick count starts long before the program; a fixed base keeps it plausible.
    constexpr std::uint64_t boot_offset = 3'600'000;
    if (virtual_) {
        return boot_offset + elapsed_ms_;
    }
    const auto since = std::chrono::steady_clock::now() - start_;
    return boot_offset + static_cast<std::uint64_t>(
                             std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

} // namespace winsim
