#include "download/progress.h"

#include <math.h>
#include <stdio.h>

namespace skelder {

namespace {
// Counts progress lines over the whole process, so the spinner goes on across attempts.
int32_t spinner_counter = 0;
} // namespace

float progress_percent(uint32_t transfer, uint32_t transfers) {
    return floorf(static_cast<float>(transfer) / static_cast<float>(transfers) * 100.0f);
}

int progress_bar_length(float percent) {
    return static_cast<int>(percent / 5.0f) + 1;
}

char spinner_char(int32_t counter) {
    // 0xC4 is a horizontal line in the console's OEM code page 437.
    static const char spinner[4] = {'|', '/', static_cast<char>(0xC4), '\\'};
    return spinner[static_cast<uint32_t>(counter) % 4];
}

void print_progress(uint32_t transfer, uint32_t transfers) {
    ++spinner_counter;
    const float percent = progress_percent(transfer, transfers);
    char bar[21] = {};
    const int length = progress_bar_length(percent);
    for (int i = 0; i < length && i < 20; ++i) {
        bar[i] = '+';
    }
    printf("\r\t%s %c : %.f%%", bar, spinner_char(spinner_counter), static_cast<double>(percent));
    fflush(stdout);
}

} // namespace skelder
