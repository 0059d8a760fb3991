#include "main/update_run.h"

#include "device/adapter_limits.h"
#include "device/csmi_transport.h"
#include "device/open_device.h"
#include "device/result_codes.h"
#include "device/scsi_identity.h"
#include "device/signature_identify.h"
#include "download/download_firmware.h"
#include "download/print_drive_info.h"
#include "download/read_identify.h"
#include "download/security.h"
#include "main/exit_code.h"

#include <stdio.h>

namespace skelder {

namespace {

constexpr DWORD pause_after_attempt_ms = 2000;

result_code open_target(device_context& context, run_settings& settings) {
    if ((context.route_flags & route_csmi) != 0) {
        return open_csmi_device(context, settings.device_path, settings.phy_index,
                                settings.sas_address, settings.options.l_flag);
    }
    return open_device(context, settings.device_path);
}

bool holds_handle(HANDLE handle) {
    return handle != INVALID_HANDLE_VALUE && handle != nullptr;
}

// Sends the image up to retry_count + 1 times, stopping at the first success.
result_code download_with_retries(device_context& context, const run_settings& settings,
                                  const firmware_image& image, const adapter_limits& limits) {
    result_code result = result_completed;
    int64_t attempt = 0;
    do {
        if (attempt > 0) {
            printf("Retrying... %lld\n", static_cast<long long>(attempt));
        }
        result = download_firmware(context, settings.request, image, limits);
        printf("\n");
        fflush(stdout);
        Sleep(pause_after_attempt_ms);
        printf("\n");
        ++attempt;
    } while (result != result_completed && attempt <= settings.retry_count);
    return result;
}

} // namespace

int run_update(device_context& context, run_settings& settings) {
    drive_identity identity;
    result_code result = open_target(context, settings);
    if (holds_handle(context.handle) && result == result_completed) {
        read_scsi_identity(context, identity);
        result = read_identify(context, identity, identify_purpose::gate);
        if (result == result_completed) {
            const bool show_info = settings.options.show_info;
            if (show_info || context.verbosity != 0) {
                print_drive_info(identity, settings.request.segment_blocks);
            }
            // Both early ends leave the handle to the end of the process.
            if (show_info) {
                return exit_other_failure;
            }
            if (!security_gate(identity, settings.options.l_flag, context.verbosity)) {
                return exit_security_refused;
            }

            const bool download = settings.options.download;
            const bool activate = settings.options.activate;
            // Read once, before anything is sent: every attempt takes these bytes, and the
            // activate step needs the image the command line named.
            firmware_image image;
            if (download || activate) {
                result = read_firmware_image(settings.request, context.verbosity, image);
            }
            // The SCSI and ATA routes go through the disk's adapter, which refuses a request
            // larger than it takes: such a run ends here, before any DOWNLOAD MICROCODE.
            adapter_limits limits;
            if (result == result_completed && download && (context.route_flags & route_csmi) == 0) {
                limits = query_adapter_limits(context);
                result = check_adapter_fit(settings.request, image, limits);
            }
            if (result == result_completed && download) {
                send_signature_identify(context);
                result = download_with_retries(context, settings, image, limits);
            }
            // Activating after a failed download could switch the drive to partial microcode.
            if (result == result_completed && activate) {
                download_request activation = settings.request;
                activation.subcommand = dm_activate;
                activation.segment_blocks = 0;
                result = download_firmware(context, activation, image, limits);
            }
            read_identify(context, identity, identify_purpose::refresh);
        }
    }
    if (holds_handle(context.handle)) {
        CloseHandle(context.handle);
    }
    return map_exit_code(result);
}

} // namespace skelder
