#include "device/adapter_limits.h"

#include <stddef.h>
#include <string.h>

namespace skelder {

adapter_limits query_adapter_limits(device_context& context) {
    STORAGE_PROPERTY_QUERY query;
    memset(&query, 0, sizeof query);
    query.PropertyId = StorageAdapterProperty;
    query.QueryType = PropertyStandardQuery;
    STORAGE_ADAPTER_DESCRIPTOR descriptor;
    memset(&descriptor, 0, sizeof descriptor);
    DWORD returned = 0;
    const BOOL ok =
        DeviceIoControl(context.handle, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                        &descriptor, sizeof descriptor, &returned, nullptr);
    constexpr DWORD needed = offsetof(STORAGE_ADAPTER_DESCRIPTOR, AlignmentMask);
    adapter_limits limits;
    if (ok == FALSE || returned < needed || descriptor.Version < needed ||
        descriptor.Size < needed || descriptor.MaximumTransferLength == 0) {
        return limits;
    }
    limits.max_transfer_length = descriptor.MaximumTransferLength;
    limits.max_physical_pages = descriptor.MaximumPhysicalPages;
    return limits;
}

uint32_t pages_spanned(const void* address, uint32_t length) {
    if (length == 0) {
        return 0;
    }
    const auto first = reinterpret_cast<uintptr_t>(address);
    const uintptr_t last = first + length - 1;
    return static_cast<uint32_t>(last / page_size - first / page_size + 1);
}

} // namespace skelder
