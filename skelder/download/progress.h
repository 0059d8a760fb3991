#pragma once
// The progress line printed after each full transfer.

#include <cstdint>

namespace skelder {

// floor(transfer / transfers * 100) in single precision: 0 for the first transfer, never 100.
float progress_percent(uint32_t transfer, uint32_t transfers);

// Plus signs of the bar for a percentage: 1 to 20.
int progress_bar_length(float percent);

// The spinner character for a value of the process-wide counter.
char spinner_char(int32_t counter);

// Advances the process-wide spinner and prints "\r\t<bar> <spinner> : <percent>%".
void print_progress(uint32_t transfer, uint32_t transfers);

} // namespace skelder
