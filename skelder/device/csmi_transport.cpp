#include "device/csmi_transport.h"

#include "device/result_codes.h"

namespace skelder {

namespace {
constexpr int32_t csmi_route_unavailable = 10; // maps to exit code 10
}

// The CSMI transport is not built yet: the open opens nothing and reports a failure that
// the run maps to exit code 10, so a "/C:" run never claims success.
int32_t open_csmi_device(device_context& context, const WCHAR* /*controller_path*/,
                         int32_t& /*phy_index*/, const uint8_t (&/*sas_address*/)[8]) {
    context.handle = INVALID_HANDLE_VALUE;
    return csmi_route_unavailable;
}

// Not built yet: no request can be carried, so every command fails.
int32_t issue_stp_passthru(device_context& /*context*/) {
    return result_request_failed;
}

} // namespace skelder
