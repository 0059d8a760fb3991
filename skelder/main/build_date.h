#pragma once
// The build date in the form "Sep 14 2016"; a one-digit day has no padding ("Sep 4 2016").

namespace skelder {

struct date_text {
    char text[12];
};

// Turns the compiler's "Mmm dd yyyy" (day padded with a blank) into the banner's form.
date_text banner_date(const char* compiler_date);

// The date this program was built; in a release build the commit's date (the compiler
// takes __DATE__ from SOURCE_DATE_EPOCH when it is set).
date_text build_date();

} // namespace skelder
