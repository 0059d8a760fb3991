// Time on the simulated machine: virtual (Sleep and device time return at once
// and only advance a counter) or real (they really wait).
#pragma once

#include <chrono>
#include <cstdint>

namespace winsim {

class device_clock {
public:
    explicit device_clock(bool virtual_time);

    void advance(std::uint64_t milliseconds);
    // Milliseconds of Sleep and modelled device time so far, in either mode.
    std::uint64_t elapsed_ms() const { return elapsed_ms_; }
    // What GetTickCount shows.
    std::uint64_t tick_ms() const;
    bool is_virtual() const { return virtual_; }

private:
    bool virtual_;
    std::uint64_t elapsed_ms_ = 0;
    std::chrono::steady_clock::time_point start_;
};

} // namespace winsim
