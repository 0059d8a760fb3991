#pragma once
// Reading a firmware image file whole.

#include <windows.h>
#include <stdio.h>

#include <cstdint>

namespace skelder {

// Opens the image for reading as raw bytes, sharing it with other readers and writers.
FILE* open_image(const WCHAR* file_name);

// Size of the open file in bytes (64-bit, so a 4 GiB file is never read as a small one);
// -1 when it cannot be found. Leaves the file positioned at its start.
int64_t image_size(FILE* file);

// Reads exactly `size` bytes; false on a short read.
bool read_image(FILE* file, unsigned char* buffer, size_t size);

} // namespace skelder
