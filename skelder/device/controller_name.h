#pragma once
// The name Windows gives a SCSI port, which is how a CSMI controller is opened.

#include <cstdint>
#include <string>

namespace skelder {

// "\\.\SCSI", the number in decimal and ':'.
std::wstring controller_name(int32_t number);

} // namespace skelder
