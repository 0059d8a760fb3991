// _wfreopen with the Microsoft runtime's text mode: a stream whose "\n" reaches the file as
// "\r\n". glibc has no text mode, so a text stream is a cookie stream over the host file.
#include "host_path.h"

#include <stdio.h>

#include <cerrno>
#include <string>

namespace {

// Write side of a text-mode file: newline translation on the way out.
ssize_t write_text(void* cookie, const char* data, size_t size) {
    FILE* file = static_cast<FILE*>(cookie);
    size_t start = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            if (std::fwrite(data + start, 1, i - start, file) != i - start ||
                std::fwrite("\r\n", 1, 2, file) != 2) {
                return -1;
            }
            start = i + 1;
        }
    }
    if (std::fwrite(data + start, 1, size - start, file) != size - start) {
        return -1;
    }
    return static_cast<ssize_t>(size);
}

ssize_t read_raw(void* cookie, char* data, size_t size) {
    return static_cast<ssize_t>(std::fread(data, 1, size, static_cast<FILE*>(cookie)));
}

int close_file(void* cookie) {
    return std::fclose(static_cast<FILE*>(cookie));
}

// The host mode for fopen: the Microsoft letters t, b and ", ccs=" dropped.
std::string host_mode(const wchar_t* mode, bool& text) {
    std::string out;
    text = true;
    for (const wchar_t* m = mode; *m != L'\0' && *m != L','; ++m) {
        if (*m == L'b') {
            text = false;
        } else if (*m == L'r' || *m == L'w' || *m == L'a' || *m == L'+') {
            out.push_back(static_cast<char>(*m));
        }
    }
    return out;
}

} // namespace

extern "C" FILE* _wfreopen(const wchar_t* filename, const wchar_t* mode, FILE* stream) {
    if (filename == nullptr || mode == nullptr || stream == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    const auto mapped = winapi_host::to_host_path(filename);
    bool text = true;
    const std::string how = host_mode(mode, text);
    FILE* opened = nullptr;
    if (mapped.error != 0 || how.empty()) {
        errno = mapped.error != 0 ? ENOENT : EINVAL;
    } else if (FILE* file = std::fopen(mapped.path.c_str(), how.c_str()); file != nullptr) {
        opened = text
                     ? ::fopencookie(file, how.c_str(), {read_raw, write_text, nullptr, close_file})
                     : file;
        if (opened == nullptr) {
            std::fclose(file);
        }
    }
    if (opened == nullptr) {
        // Microsoft's freopen: "If an error occurs, the original file is closed". The stream
        // object stays usable on the host, but read-only on nothing, so writes to it fail.
        // If even that fails, glibc has closed the stream already: nothing more to undo.
        [[maybe_unused]] FILE* const emptied = std::freopen("/dev/null", "r", stream);
        return nullptr;
    }
    std::fclose(stream);
    if (stream == stdout) {
        stdout = opened;
    } else if (stream == stderr) {
        stderr = opened;
    }
    return opened;
}
