#pragma once
// What every target sets up once: a virtual clock (pauses return at once), no trace, quiet
// standard output, and a private folder for the image files the update runs read.

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// Call from LLVMFuzzerInitialize, before the programs' code runs.
void prepare_environment();

// Writes a file into the private folder; returns its Windows name (Z:\...).
std::wstring write_work_file(const char* name, const uint8_t* data, size_t size);

// Writes an image of `size` bytes whose byte i is i * step (mod 256) into the private
// folder; returns its Windows name.
std::wstring write_pattern_image(const char* name, size_t size, unsigned step);

// The fuzz bytes as wide text, one character a byte; a zero byte ends an argument.
std::wstring widen_bytes(const uint8_t* data, size_t size);

} // namespace fuzz

namespace fuzz {

// Ends the run as a crash when a property every input must keep does not hold.
void require(bool condition, const char* property);

} // namespace fuzz
