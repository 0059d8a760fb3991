#include "command_line.h"

#include "host_path.h"
#include "wide_text.h"

#include <windows.h>
#include <shellapi.h>
#include <winapi_host/command_line.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

namespace winapi_host {
namespace {

bool is_blank(wchar_t ch) {
    return ch == L' ' || ch == L'\t';
}

void append_quoted(std::wstring& line, const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t ch : argument) {
        if (ch == L'\\') {
            ++backslashes;
            continue;
        }
        if (ch == L'"') {
            // Backslashes before a quote are doubled, and the quote escaped.
            line.append(backslashes * 2 + 1, L'\\');
        } else {
            line.append(backslashes, L'\\');
        }
        backslashes = 0;
        line += ch;
    }
    // Backslashes before the closing quote are doubled so it stays a quote.
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

// The line set_process_command_line gave, once it was called.
std::wstring* g_set_line = nullptr;

std::vector<std::wstring> host_arguments() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::wstring> arguments;
    std::size_t start = 0;
    while (start < raw.size()) {
        auto end = raw.find('\0', start);
        if (end == std::string::npos) {
            end = raw.size();
        }
        arguments.push_back(widen(std::string_view(raw).substr(start, end - start)));
        start = end + 1;
    }
    return arguments;
}

} // namespace

std::wstring build_command_line(const std::vector<std::wstring>& arguments) {
    std::wstring line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i == 0) {
            // The program name ends at the next quote or blank, with no escapes.
            const auto& name = arguments[0];
            if (name.empty() || name.find_first_of(L" \t") != std::wstring::npos) {
                line += L'"' + name + L'"';
            } else {
                line += name;
            }
            continue;
        }
        line += L' ';
        append_quoted(line, arguments[i]);
    }
    return line;
}

std::vector<std::wstring> split_command_line(const std::wstring& command_line) {
    std::vector<std::wstring> arguments;
    const wchar_t* s = command_line.c_str();
    std::wstring current;
    if (*s == L'"') {
        ++s;
        while (*s != L'\0' && *s != L'"') {
            current += *s++;
        }
        if (*s == L'"') {
            ++s;
        }
    } else {
        while (*s != L'\0' && !is_blank(*s)) {
            current += *s++;
        }
    }
    arguments.push_back(current);
    current.clear();
    while (is_blank(*s)) {
        ++s;
    }
    if (*s == L'\0') {
        return arguments;
    }
    // quotes counts quote characters modulo three, as Windows does: inside quotes,
    // a run of three quotes yields one literal quote.
    std::size_t backslashes = 0;
    int quotes = 0;
    while (*s != L'\0') {
        if (is_blank(*s) && quotes == 0) {
            arguments.push_back(current);
            current.clear();
            backslashes = 0;
            while (is_blank(*s)) {
                ++s;
            }
            if (*s == L'\0') {
                return arguments;
            }
        } else if (*s == L'\\') {
            current += *s++;
            ++backslashes;
        } else if (*s == L'"') {
            if (backslashes % 2 == 0) {
                current.resize(current.size() - backslashes / 2);
                ++quotes;
            } else {
                current.resize(current.size() - backslashes / 2 - 1);
                current += L'"';
            }
            ++s;
            backslashes = 0;
            while (*s == L'"') {
                if (++quotes == 3) {
                    current += L'"';
                    quotes = 0;
                }
                ++s;
            }
            if (quotes == 2) {
                quotes = 0;
            }
        } else {
            current += *s++;
            backslashes = 0;
        }
    }
    arguments.push_back(current);
    return arguments;
}

void set_process_command_line(const std::wstring& line) {
    if (g_set_line == nullptr) {
        g_set_line = new std::wstring; // never freed: GetCommandLineW may run in exit hooks
    }
    *g_set_line = line;
}

} // namespace winapi_host

using namespace winapi_host;

extern "C" LPWSTR WINAPI GetCommandLineW(void) {
    if (g_set_line != nullptr) {
        return g_set_line->data();
    }
    static std::once_flag once;
    static wchar_t* line = nullptr;
    std::call_once(once, [] {
        const auto built = build_command_line(host_arguments());
        // Kept for the life of the process, as Windows keeps its copy.
        line = new wchar_t[built.size() + 1];
        std::wmemcpy(line, built.c_str(), built.size() + 1);
    });
    return line;
}

extern "C" LPWSTR* WINAPI CommandLineToArgvW(LPCWSTR lpCmdLine, int* pNumArgs) {
    if (pNumArgs == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::vector<std::wstring> arguments;
    if (lpCmdLine == nullptr || *lpCmdLine == L'\0') {
        // An empty command line stands for the program alone.
        wchar_t module[MAX_PATH + 1] = {};
        GetModuleFileNameW(nullptr, module, MAX_PATH);
        arguments.emplace_back(module);
    } else {
        arguments = split_command_line(lpCmdLine);
    }
    // One block: the pointer array, then the strings, so one LocalFree releases all.
    std::size_t characters = 0;
    for (const auto& argument : arguments) {
        characters += argument.size() + 1;
    }
    const std::size_t pointers_bytes = (arguments.size() + 1) * sizeof(LPWSTR);
    auto* block = static_cast<char*>(
        LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, pointers_bytes + characters * sizeof(WCHAR)));
    if (block == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* argv = reinterpret_cast<LPWSTR*>(block);
    auto* text = reinterpret_cast<wchar_t*>(block + pointers_bytes);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        argv[i] = text;
        std::wmemcpy(text, arguments[i].c_str(), arguments[i].size() + 1);
        text += arguments[i].size() + 1;
    }
    argv[arguments.size()] = nullptr;
    *pNumArgs = static_cast<int>(arguments.size());
    return argv;
}
