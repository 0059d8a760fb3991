// Something CreateFileW can open on the simulated machine: a disk, later a
// controller. The base keeps the names and the driver-level refusals and faults;
// each kind answers its control codes.
#pragma once

#include <winsim/json_fields.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace winsim {

struct control_request {
    std::uint32_t code = 0;
    void* in = nullptr;
    std::uint32_t in_length = 0;
    void* out = nullptr;
    std::uint32_t out_length = 0;
    std::uint32_t returned = 0;
    nlohmann::json details = nlohmann::json::object(); // extra keys for the trace record
};

class device {
public:
    explicit device(const nlohmann::json& description);
    virtual ~device() = default;
    device(const device&) = delete;
    device& operator=(const device&) = delete;

    virtual bool answers_to(std::wstring_view name) const;
    // Another process holds the device open for reading and writing, sharing both.
    bool in_use_elsewhere() const { return in_use_elsewhere_; }

    // The driver's answer: a refused code or an injected error first, else the
    // kind's own handling. Returns the Windows error (0: success).
    std::uint32_t control(control_request& request);

    // The driver's answer to an open that sharing and rights allow (0: opened), and its note
    // of a close. A device made in code may script them; the machine's own accept every open.
    virtual std::uint32_t opening() { return 0; }
    virtual void closed() {}

protected:
    virtual std::uint32_t handle(control_request& request) = 0;

private:
    struct control_fault {
        std::optional<std::uint32_t> code;
        occurrence when;
        std::uint32_t error = 0;
    };

    std::vector<std::wstring> names_;
    bool in_use_elsewhere_ = false;
    std::map<std::uint32_t, std::uint32_t> refused_;
    std::vector<control_fault> faults_;
};

// The name a description's faults are reported under: its first name or its interface path.
std::string device_label(const nlohmann::json& description);

// Windows device names ignore case.
bool same_device_name(std::wstring_view a, std::wstring_view b);
std::wstring widen_ascii(std::string_view text);

} // namespace winsim
