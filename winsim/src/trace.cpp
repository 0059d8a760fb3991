#include <winsim/trace.h>

#include <cstdio>
#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace winsim {
namespace {

#ifdef _WIN32
// Binary: the trace's lines end in "\n" on every system.
constexpr int open_flags = O_WRONLY | O_CREAT | O_APPEND | O_BINARY;
using write_size = unsigned int;
#else
constexpr int open_flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC;
using write_size = std::size_t;
#endif

} // namespace

#ifndef _WIN32
int above_standard_descriptors(int fd) {
    if (fd < 0 || fd > 2) {
        return fd;
    }
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}
#endif

trace::trace(const std::string& path) {
    if (!path.empty()) {
        fd_ = ::open(path.c_str(), open_flags, 0644);
#ifndef _WIN32
        fd_ = above_standard_descriptors(fd_);
#endif
    }
}

trace::~trace() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void trace::write(const nlohmann::json& record) {
    if (fd_ < 0) {
        return;
    }
    // One write per line, so records of a process stay whole.
    const std::string line =
        record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    std::size_t done = 0;
    while (done < line.size()) {
        const auto put =
            ::write(fd_, line.data() + done, static_cast<write_size>(line.size() - done));
        if (put <= 0) {
            return;
        }
        done += static_cast<std::size_t>(put);
    }
}

std::string hex_code(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::string hex_bytes(std::span<const std::uint8_t> bytes) {
    std::string text;
    char part[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(part, sizeof part, i == 0 ? "%02x" : " %02x", bytes[i]);
        text += part;
    }
    return text;
}

} // namespace winsim
