#pragma once
// Decimal numbers on the command line: leading blanks and a sign allowed, read as far as
// they are a number.

#include <windows.h>

#include <cstdint>

namespace skelder {

enum class number_reading { valid, no_digits, out_of_range };

// Reads a signed 32-bit number. Out of range, `value` is clamped to the nearest limit;
// with no digits it is 0.
number_reading read_decimal(const WCHAR* text, int32_t& value);

} // namespace skelder
