// The trace: one JSON object a line, appended to the file WINSIM_TRACE names.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <span>
#include <string>

namespace winsim {

class trace {
public:
    // An empty path writes nothing.
    explicit trace(const std::string& path);
    trace(const trace&) = delete;
    trace& operator=(const trace&) = delete;
    ~trace();

    bool enabled() const { return fd_ >= 0; }
    void write(const nlohmann::json& record);

private:
    int fd_ = -1;
};

#ifndef _WIN32
// A descriptor the stand-in keeps for itself, moved above 0 to 2 (closed on exec): were it one
// of them, a program whose standard output or error is closed would write into it. Returns the
// descriptor to use, or -1 with the original closed.
int above_standard_descriptors(int fd);
#endif

// "0x4D014": control codes as the trace shows them.
std::string hex_code(std::uint32_t value);
// "85 06 2c": bytes in lower-case hexadecimal, blank-separated.
std::string hex_bytes(std::span<const std::uint8_t> bytes);

} // namespace winsim
