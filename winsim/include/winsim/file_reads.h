// Where the process read files into memory. The stand-in's ReadFile and fread report each
// read here, so a driver can tell whether a direct request's data buffer is the program's
// image buffer itself or a copy of it.
#pragma once

#include <cstddef>
#include <optional>

namespace winsim {

// Records that `length` bytes of a file arrived at `buffer`. The most recent reads are kept.
void note_file_read(const void* buffer, std::size_t length);

// Whether any read has been noted: a build whose file reads bypass the stand-in notes none.
bool file_reads_noted();

// The offset of `address` inside the most recent noted read that holds it.
std::optional<std::size_t> offset_in_file_read(const void* address);

// Forgets every noted read (for tests).
void forget_file_reads();

} // namespace winsim
