#include "main/exit_code.h"

#include "device/result_codes.h"

namespace skelder {

int map_exit_code(result_code result) {
    switch (result) {
    case result_completed:
        return 0;
    case result_device_error:
        return 1;
    case result_open_failed:
        return 2;
    case result_bad_image:
        return 4;
    case result_not_supported:
        return 9;
    case result_error_84:
        return 5;
    default:
        return exit_other_failure;
    }
}

} // namespace skelder
