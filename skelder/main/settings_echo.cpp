#include "main/settings_echo.h"

#include <stdio.h>

namespace skelder {

namespace {
const char* mode_echo(uint8_t subcommand) {
    switch (subcommand) {
    case dm_segmented_immediate:
        return "  Segmented Immediate Mode Selected";
    case dm_segmented_deferred:
        return "  Deferred Mode Selected";
    default:
        return "  Download Immediate Mode Selected";
    }
}
} // namespace

void print_settings_echo(const device_context& context, const run_settings& settings) {
    const bool csmi = (context.route_flags & route_csmi) != 0;
    printf("  Device Path: %ls", settings.device_path);
    if (csmi) {
        printf("%d", static_cast<int>(settings.phy_index));
    }
    printf("\n");
    if (csmi) {
        printf("  SAS Address:");
        for (uint8_t byte : settings.sas_address) {
            printf(" %02x", byte);
        }
        printf("\n");
    }
    printf("  FileName: %ls\n", settings.request.file_name);
    printf("%s\n", mode_echo(settings.request.subcommand));
}

} // namespace skelder
