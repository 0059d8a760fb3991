// The trace's exit record at process end. The link wraps exit(), which the C runtime
// calls with main's result as well, so the record carries the exit code either way.
#include <winsim/api.h>

extern "C" {

[[noreturn]] void __real_exit(int status);

[[noreturn]] void __wrap_exit(int status) {
    winsim::record_process_exit(status);
    __real_exit(status);
}

} // extern "C"
