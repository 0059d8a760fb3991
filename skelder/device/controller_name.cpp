#include "device/controller_name.h"

namespace skelder {

std::wstring controller_name(int32_t number) {
    return L"\\\\.\\SCSI" + std::to_wstring(number) + L":";
}

} // namespace skelder
