#include <winsim/file_reads.h>

#include <array>
#include <cstdint>

namespace winsim {
namespace {

struct read_range {
    std::uintptr_t start = 0;
    std::size_t length = 0;
};

// A handful is plenty: programs read an image once per attempt. Older entries may describe
// memory freed since, so the newest entry that holds an address wins.
struct read_log {
    std::array<read_range, 8> ranges{};
    std::size_t count = 0; // reads noted in all
};

read_log& the_log() {
    static read_log log;
    return log;
}

} // namespace

void note_file_read(const void* buffer, std::size_t length) {
    if (buffer == nullptr || length == 0) {
        return;
    }
    auto& log = the_log();
    log.ranges[log.count % log.ranges.size()] = {reinterpret_cast<std::uintptr_t>(buffer), length};
    ++log.count;
}

bool file_reads_noted() {
    return the_log().count > 0;
}

std::optional<std::size_t> offset_in_file_read(const void* address) {
    const auto& log = the_log();
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    const std::size_t kept = log.count < log.ranges.size() ? log.count : log.ranges.size();
    for (std::size_t age = 1; age <= kept; ++age) {
        const auto& range = log.ranges[(log.count - age) % log.ranges.size()];
        if (at >= range.start && at - range.start < range.length) {
            return at - range.start;
        }
    }
    return std::nullopt;
}

void forget_file_reads() {
    the_log() = read_log{};
}

} // namespace winsim
