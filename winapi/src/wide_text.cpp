#include "wide_text.h"

#include <cstdint>
#include <type_traits>

namespace winapi_host {

std::wstring widen(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t extra = 0;
        char32_t code = lead;
        if (lead >= 0xC0 && lead < 0xE0) {
            extra = 1;
            code = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            extra = 2;
            code = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead < 0xF8) {
            extra = 3;
            code = lead & 0x07u;
        }
        bool valid = (lead < 0x80 || extra > 0) && i + extra < utf8.size();
        for (std::size_t k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            valid = (next & 0xC0u) == 0x80u;
            code = (code << 6) | (next & 0x3Fu);
        }
        if (!valid) {
            // Not UTF-8: keep the byte as a Latin-1 character rather than lose it.
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(code));
        i += extra + 1;
    }
    return out;
}

std::string narrow(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (wchar_t ch : wide) {
        // wchar_t is signed on Linux: take its bits as a code point.
        auto code = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(ch));
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | ((code >> 18) & 0x07)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return out;
}

unsigned copy_out(std::wstring_view text, wchar_t* buffer, unsigned size) {
    const auto needed = static_cast<unsigned>(text.size()) + 1;
    if (buffer == nullptr || size < needed) {
        return needed;
    }
    text.copy(buffer, text.size());
    buffer[text.size()] = L'\0';
    return needed - 1;
}

} // namespace winapi_host
