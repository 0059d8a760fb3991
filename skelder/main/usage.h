#pragma once

namespace skelder {

// The four banner lines: rule, product and build date, maker's notice, rule.
void print_banner();

// The usage text with its table of return codes; `program` is the program as invoked.
void print_usage(const char* program);

} // namespace skelder
