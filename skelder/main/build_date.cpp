#include "main/build_date.h"

namespace skelder {

date_text banner_date(const char* compiler_date) {
    date_text date{};
    int out = 0;
    for (int in = 0; compiler_date[in] != '\0' && out < 11; ++in) {
        // __DATE__ pads a one-digit day with a blank: "Sep  4 2016".
        if (in == 4 && compiler_date[in] == ' ') {
            continue;
        }
        date.text[out++] = compiler_date[in];
    }
    return date;
}

date_text build_date() {
    return banner_date(__DATE__);
}

} // namespace skelder
