// The printf family's text conversions (%s, %ls, %S, %c, %lc, %C) as a Windows program's
// runtime performs them. A Windows program starts in the "C" locale, where a wide character
// below 256 becomes the byte of that value and any other cannot be converted; the mingw-w64
// printf that the Windows build links then ends that argument there and goes on with the rest
// of the format. glibc's "C" locale is ASCII only and fails the whole call instead, so a
// non-ASCII file name would vanish with its line end. Glibc lets a program take over a
// conversion; the stand-in does so for these, in narrow and in wide output.
//
// Wide printf to the console goes the same way on Windows: each argument is written as
// bytes by the same rule, while a glibc wide stream in the "C" locale writes '?' instead.
// The programs print wide text through vwprintf, which the stand-in wraps (winapi/CMakeLists.txt)
// to format into wide text and write the bytes.
#include <printf.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cstdarg>
#include <cwchar>
#include <string>
#include <string_view>

namespace {

// Set while wide text is formatted for a byte stream: arguments end as in narrow output.
thread_local bool g_formatting_for_bytes = false;

bool is_character(const printf_info* info) {
    return info->spec == 'c' || info->spec == 'C';
}

bool is_wide_argument(const printf_info* info) {
    return info->is_long || info->spec == 'S' || info->spec == 'C';
}

std::size_t limit(const printf_info* info) {
    return info->prec >= 0 ? static_cast<std::size_t>(info->prec) : SIZE_MAX;
}

// The argument as characters of the output, each below 256 in narrow output.
std::wstring text_of(const printf_info* info, const void* const* args, bool narrow_output) {
    std::wstring text;
    if (is_character(info)) {
        text.push_back(is_wide_argument(info) ? *static_cast<const wchar_t*>(args[0])
                                              : static_cast<wchar_t>(static_cast<unsigned char>(
                                                    *static_cast<const int*>(args[0]))));
    } else if (is_wide_argument(info)) {
        const wchar_t* wide = *static_cast<const wchar_t* const*>(args[0]);
        text = wide != nullptr ? wide : L"(null)";
        text.resize(std::min(text.size(), limit(info)));
    } else {
        const char* bytes = *static_cast<const char* const*>(args[0]);
        bytes = bytes != nullptr ? bytes : "(null)";
        const std::size_t length =
            info->prec >= 0 ? ::strnlen(bytes, limit(info)) : std::strlen(bytes);
        for (std::size_t i = 0; i < length; ++i) {
            text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i])));
        }
    }
    if (narrow_output) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (static_cast<unsigned long>(text[i]) > 0xFF) {
                errno = EILSEQ;
                text.resize(i);
                break;
            }
        }
    }
    return text;
}

int print_text(FILE* stream, const printf_info* info, const void* const* args) {
    const bool wide_stream = ::fwide(stream, 0) > 0;
    const std::wstring text = text_of(info, args, !wide_stream || g_formatting_for_bytes);
    const std::size_t width = info->width > 0 ? static_cast<std::size_t>(info->width) : 0;
    const std::size_t padding = width > text.size() ? width - text.size() : 0;
    std::wstring out =
        info->left ? text + std::wstring(padding, L' ') : std::wstring(padding, L' ') + text;
    for (wchar_t ch : out) {
        const bool written = wide_stream
                                 ? std::fputwc(ch, stream) != WEOF
                                 : std::fputc(static_cast<unsigned char>(ch), stream) != EOF;
        if (!written) {
            return -1;
        }
    }
    return static_cast<int>(out.size());
}

int text_argument(const printf_info* info, std::size_t count, int* types, int* sizes) {
    if (count > 0) {
        const bool wide = is_wide_argument(info);
        if (is_character(info)) {
            types[0] = wide ? PA_WCHAR : PA_CHAR;
            sizes[0] = wide ? sizeof(wchar_t) : sizeof(int);
        } else {
            types[0] = wide ? PA_WSTRING : PA_STRING;
            sizes[0] = sizeof(void*);
        }
    }
    return 1;
}

const bool registered = [] {
    static constexpr int conversions[] = {'s', 'S', 'c', 'C'};
    for (const int conversion : conversions) {
        ::register_printf_specifier(conversion, print_text, text_argument);
    }
    return true;
}();

} // namespace

extern "C" int __wrap_vwprintf(const wchar_t* format, va_list args) {
    std::wstring text(256, L'\0');
    int length = -1;
    g_formatting_for_bytes = true;
    while (length < 0 && text.size() <= (1u << 20)) {
        va_list copy;
        va_copy(copy, args);
        length = std::vswprintf(text.data(), text.size(), format, copy);
        va_end(copy);
        if (length < 0) {
            text.resize(text.size() * 2);
        }
    }
    g_formatting_for_bytes = false;
    if (length < 0) {
        return -1;
    }
    std::string bytes;
    for (wchar_t ch : std::wstring_view(text.data(), static_cast<std::size_t>(length))) {
        if (static_cast<unsigned long>(ch) <= 0xFF) {
            bytes.push_back(static_cast<char>(ch));
        }
    }
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() ? length : -1;
}

// Referenced by the link options of the stand-in so that the conversions above are linked.
extern "C" const int fwu_winapi_wide_output_anchor = registered ? 1 : 0;
