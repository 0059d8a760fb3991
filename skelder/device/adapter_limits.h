#pragma once
// What the storage adapter behind a disk takes in one pass-through request. A request longer
// than the maximum transfer length, or whose buffer spans more physical pages than the
// adapter's limit, is refused by the port driver (ERROR_INVALID_PARAMETER) and never reaches
// the drive.

#include "device/device_context.h"

#include <cstdint>

namespace skelder {

struct adapter_limits {
    uint32_t max_transfer_length = 0; // bytes; 0: not known, no limit applied
    uint32_t max_physical_pages = 0;  // 0: not known, no limit applied
};

inline constexpr uint32_t page_size = 4096;

// Asks the disk's driver for its adapter descriptor. A failed, short or odd answer, or a
// maximum transfer length of 0, gives limits of 0: requests go as they always have.
adapter_limits query_adapter_limits(device_context& context);

// Pages a buffer of `length` bytes at `address` spans: one more than its length needs when it
// does not start on a page boundary.
uint32_t pages_spanned(const void* address, uint32_t length);

} // namespace skelder
