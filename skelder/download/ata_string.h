#pragma once
#include <cstddef>
#include <string>

namespace skelder {

// Turns an IDENTIFY text field (two characters per word, the first in the high byte) into
// text without leading and trailing white space. The length must be even and not 0.
std::string ata_string(const unsigned char* source_buffer, size_t length);

} // namespace skelder
