#include "download/ata_string.h"

#include <stdio.h>
#include <stdlib.h>

namespace skelder {

namespace {

bool is_white(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\r' || c == '\n';
}

// Kept active in release builds too: a bad field length is a programming error that must
// never read past an IDENTIFY buffer.
void check_field(const unsigned char* source_buffer, size_t length) {
    if (0 != length && 0 == (length % 2) && nullptr != source_buffer) {
        return;
    }
    fflush(stdout);
    fprintf(stderr,
            "Assertion failed: 0 != length && 0 == ( length %%2 ) && NULL != source_buffer\n");
    abort();
}

} // namespace

std::string ata_string(const unsigned char* source_buffer, size_t length) {
    check_field(source_buffer, length);
    std::string text;
    text.reserve(length);
    for (size_t i = 0; i < length; i += 2) {
        text.push_back(static_cast<char>(source_buffer[i + 1]));
        text.push_back(static_cast<char>(source_buffer[i]));
    }
    size_t first = 0;
    while (first < text.size() && is_white(text[first])) {
        ++first;
    }
    size_t end = text.size();
    while (end > first && is_white(text[end - 1])) {
        --end;
    }
    return text.substr(first, end - first);
}

} // namespace skelder
