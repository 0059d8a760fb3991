#include "main/decimal_number.h"

namespace skelder {

namespace {
bool is_blank(WCHAR c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}
} // namespace

number_reading read_decimal(const WCHAR* text, int32_t& value) {
    value = 0;
    while (is_blank(*text)) {
        ++text;
    }
    bool negative = false;
    if (*text == L'+' || *text == L'-') {
        negative = *text == L'-';
        ++text;
    }
    if (*text < L'0' || *text > L'9') {
        return number_reading::no_digits;
    }
    const int64_t limit = negative ? int64_t{INT32_MAX} + 1 : int64_t{INT32_MAX};
    int64_t magnitude = 0;
    bool out_of_range = false;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        magnitude = magnitude * 10 + (*text - L'0');
        if (magnitude > limit) {
            magnitude = limit;
            out_of_range = true;
        }
    }
    value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return out_of_range ? number_reading::out_of_range : number_reading::valid;
}

} // namespace skelder
