// Skelder: one DOWNLOAD MICROCODE command through issue_command on each route, the whole
// download engine per MiB, and its peak memory with the largest image.
#include "support/bench_support.h"
#include "support/instant_devices.h"

#include "device/device_context.h"
#include "device/issue_command.h"
#include "device/result_codes.h"
#include "download/download_firmware.h"

#include <cstring>
#include <vector>

namespace {

using namespace skelder;
using fwu_bench::mib;

constexpr uint32_t segment_blocks = 64; // the default segment
constexpr uint32_t segment_bytes = segment_blocks * 512;
// The largest image each mode takes: one command holds at most 65 535 blocks; segments
// reach block offset 65 535.
constexpr uint64_t largest_whole_image = 65535 * 512;
constexpr uint64_t largest_segmented_image = 32 * mib;

enum class target { instant, simulated };

// The default machine's Halvern drive: \\.\PhysicalDrive0, and phy 0 of \\.\SCSI2:.
constexpr uint8_t simulated_phy0_address[8] = {0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00};

device_context open_context(uint64_t route, target where) {
    device_context context;
    std::memset(&context, 0, sizeof context);
    context.route_flags = route;
    context.cdb_flags = cdb_flag_16_byte;
    const wchar_t* name = nullptr;
    if (route == route_csmi) {
        name = where == target::instant ? fwu_bench::instant_controller_name : L"\\\\.\\SCSI2:";
        const uint64_t address = fwu_bench::instant_sas_address;
        for (int i = 0; i < 8; ++i) {
            context.phy_entity.Attached.bSASAddress[i] =
                where == target::instant ? static_cast<uint8_t>(address >> (56 - 8 * i))
                                         : simulated_phy0_address[i];
        }
    } else {
        name = where == target::instant ? fwu_bench::instant_disk_name : L"\\\\.\\PhysicalDrive0";
    }
    context.handle =
        CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    return context;
}

// The registers and data phase download_firmware sets for a 64-block segment at offset 0.
void prepare_segment(device_context& context, void* data) {
    context.direction = data_out;
    context.timeout_seconds = 5;
    context.protocol = protocol_pio;
    context.addressing = addressing_28bit;
    context.registers.device = 0x40;
    context.registers.command = 0x92;
    context.registers.features = dm_segmented_immediate;
    context.registers.count = static_cast<uint8_t>(segment_blocks);
    context.transfer_length = segment_bytes;
    context.data_buffer = data;
}

void one_command(benchmark::State& state, uint64_t route, target where) {
    device_context context = open_context(route, where);
    if (context.handle == INVALID_HANDLE_VALUE) {
        state.SkipWithError("cannot open the device");
        return;
    }
    std::vector<unsigned char> image(segment_bytes, 0xA5);
    prepare_segment(context, image.data());
    for (auto _ : state) {
        // The loop body of the engine: offset, buffer, command.
        context.registers.lba_mid = 0;
        context.registers.lba_high = 0;
        context.data_buffer = image.data();
        if (issue_command(context) != result_completed) {
            state.SkipWithError("the command failed");
            break;
        }
    }
    CloseHandle(context.handle);
}

download_request request_for(uint64_t size, uint8_t subcommand) {
    download_request request{};
    const std::wstring name = fwu_bench::image_file(size);
    std::wcsncpy(request.file_name, name.c_str(), max_path_chars - 1);
    request.subcommand = subcommand;
    request.segment_blocks = static_cast<uint8_t>(segment_blocks);
    return request;
}

uint64_t commands_for(uint64_t size, uint8_t subcommand) {
    return subcommand == dm_whole_immediate ? 1 : (size + segment_bytes - 1) / segment_bytes;
}

uint64_t largest_image(uint8_t subcommand) {
    // A deferred download is activated by one command that counts the whole image's blocks.
    return subcommand == dm_segmented_immediate ? largest_segmented_image : largest_whole_image;
}

// The whole engine on the instant devices with the largest image: read the file, plan, send,
// print progress.
void whole_download(benchmark::State& state, uint64_t route, uint8_t subcommand) {
    const uint64_t size = largest_image(subcommand);
    const download_request request = request_for(size, subcommand);
    device_context context = open_context(route, target::instant);
    for (auto _ : state) {
        firmware_image image;
        if (read_firmware_image(request, 0, image) != result_completed ||
            download_firmware(context, request, image, adapter_limits{}) != result_completed) {
            state.SkipWithError("the download failed");
            break;
        }
    }
    CloseHandle(context.handle);
    fwu_bench::report_download(state, size, commands_for(size, subcommand));
}

void peak_memory(benchmark::State& state, uint64_t route, uint8_t subcommand) {
    const uint64_t size = largest_image(subcommand);
    const download_request request = request_for(size, subcommand);
    int64_t peak = -1;
    for (auto _ : state) {
        peak = fwu_bench::peak_memory_of([&] {
            device_context context = open_context(route, target::instant);
            const bool activate = subcommand == dm_segmented_deferred;
            firmware_image image;
            const bool sent =
                read_firmware_image(request, 0, image) == result_completed &&
                download_firmware(context, request, image, adapter_limits{}) == result_completed;
            download_request activation = request;
            activation.subcommand = dm_activate;
            activation.segment_blocks = 0;
            const bool activated =
                !activate || download_firmware(context, activation, image, adapter_limits{}) == result_completed;
            CloseHandle(context.handle);
            return sent && activated;
        });
    }
    fwu_bench::report_peak(state, size, peak);
}

} // namespace

using fwu_bench::driver_floor;

BENCHMARK_CAPTURE(driver_floor, scsi, fwu_bench::instant_disk_name, IOCTL_SCSI_PASS_THROUGH_DIRECT,
                  sizeof(SCSI_PASS_THROUGH_DIRECT) + 256);
BENCHMARK_CAPTURE(driver_floor, ata, fwu_bench::instant_disk_name, IOCTL_ATA_PASS_THROUGH_DIRECT,
                  sizeof(ATA_PASS_THROUGH_EX));
BENCHMARK_CAPTURE(driver_floor, csmi, fwu_bench::instant_controller_name, IOCTL_SCSI_MINIPORT,
                  sizeof(CSMI_SAS_STP_PASSTHRU_BUFFER) + segment_bytes);

BENCHMARK_CAPTURE(one_command, scsi_instant, route_scsi, target::instant);
BENCHMARK_CAPTURE(one_command, ata_instant, route_ata, target::instant);
BENCHMARK_CAPTURE(one_command, csmi_instant, route_csmi, target::instant);
BENCHMARK_CAPTURE(one_command, scsi_simulated, route_scsi, target::simulated);
BENCHMARK_CAPTURE(one_command, ata_simulated, route_ata, target::simulated);
BENCHMARK_CAPTURE(one_command, csmi_simulated, route_csmi, target::simulated);

BENCHMARK_CAPTURE(whole_download, scsi_mode03, route_scsi, dm_segmented_immediate)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(whole_download, scsi_mode07, route_scsi, dm_whole_immediate)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(whole_download, ata_mode03, route_ata, dm_segmented_immediate)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(whole_download, ata_mode07, route_ata, dm_whole_immediate)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(whole_download, csmi_mode03, route_csmi, dm_segmented_immediate)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(whole_download, csmi_mode07, route_csmi, dm_whole_immediate)
    ->Unit(benchmark::kMillisecond);

#define FWU_PEAK(name, route, mode)                                                                \
    BENCHMARK_CAPTURE(peak_memory, name, route, mode)->Iterations(1)->Unit(benchmark::kMillisecond)
FWU_PEAK(scsi_mode07, route_scsi, dm_whole_immediate);
FWU_PEAK(scsi_mode03, route_scsi, dm_segmented_immediate);
FWU_PEAK(scsi_mode0E, route_scsi, dm_segmented_deferred);
FWU_PEAK(ata_mode07, route_ata, dm_whole_immediate);
FWU_PEAK(ata_mode03, route_ata, dm_segmented_immediate);
FWU_PEAK(ata_mode0E, route_ata, dm_segmented_deferred);
FWU_PEAK(csmi_mode07, route_csmi, dm_whole_immediate);
FWU_PEAK(csmi_mode03, route_csmi, dm_segmented_immediate);
FWU_PEAK(csmi_mode0E, route_csmi, dm_segmented_deferred);
