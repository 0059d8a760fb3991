// NorrixUpdater: one DOWNLOAD MICROCODE chunk through each bus, the whole update per MiB and
// its peak memory with the largest image.
#include "support/bench_support.h"
#include "support/instant_devices.h"

#include "CsmiBus.h"
#include "NorrixUpdaterApp.h"
#include "ResultCodes.h"
#include "SataBus.h"

#include <csmi.h>

#include <memory>
#include <vector>

namespace {

using fwu_bench::mib;

enum class bus_kind { sata, csmi };
enum class target { instant, simulated };

constexpr uint64_t largest_image = 32 * mib; // both buses' block offsets reach it

DWORD chunk_bytes(bus_kind kind) {
    return kind == bus_kind::sata ? CSataBus::DOWNLOAD_CHUNK_BYTES : CCsmiBus::DOWNLOAD_CHUNK_BYTES;
}

// The default machine's Norrix drive: \\.\PhysicalDrive2, and phy 2 of \\.\SCSI2:.
std::unique_ptr<CBus> open_bus(bus_kind kind, target where) {
    std::unique_ptr<CBus> bus;
    if (kind == bus_kind::sata) {
        bus = std::make_unique<CSataBus>(where == target::instant ? fwu_bench::instant_disk_name
                                                                  : L"\\\\.\\PhysicalDrive2");
    } else {
        bus = where == target::instant ? std::make_unique<CCsmiBus>(L"7", L"5000BEEF00000001")
                                       : std::make_unique<CCsmiBus>(L"2", L"0000000500000002");
    }
    if (bus->Open() != NU_SUCCESS) {
        bus.reset();
    }
    return bus;
}

// One chunk: an image of exactly one chunk is one command.
void one_command(benchmark::State& state, bus_kind kind, target where) {
    const auto bus = open_bus(kind, where);
    if (!bus) {
        state.SkipWithError("cannot open the bus");
        return;
    }
    const std::vector<BYTE> image(chunk_bytes(kind), 0xA5);
    for (auto _ : state) {
        if (bus->DownloadMicrocode(image.data(), chunk_bytes(kind)) != NU_SUCCESS) {
            state.SkipWithError("the command failed");
            break;
        }
    }
}

void set_command_line(bus_kind kind, uint64_t size) {
    CCustomCommandLineInfo& info = theApp.m_cmdInfo;
    info.m_strDatafile = fwu_bench::image_file(size).c_str();
    if (kind == bus_kind::sata) {
        info.m_strTarget = fwu_bench::instant_disk_name;
    } else {
        info.m_strTarget.Empty();
        info.m_strController = L"7";
        info.m_strSasAddress = L"5000BEEF00000001";
    }
}

// The whole update on the instant devices: open, identify, read the datafile, download.
void whole_update(benchmark::State& state, bus_kind kind) {
    const uint64_t size = largest_image;
    set_command_line(kind, size);
    for (auto _ : state) {
        if (theApp.RunUpdate() != NU_SUCCESS) {
            state.SkipWithError("the update failed");
            break;
        }
    }
    fwu_bench::report_download(state, size, (size + chunk_bytes(kind) - 1) / chunk_bytes(kind));
}

void peak_memory(benchmark::State& state, bus_kind kind) {
    set_command_line(kind, largest_image);
    int64_t peak = -1;
    for (auto _ : state) {
        peak = fwu_bench::peak_memory_of([] { return theApp.RunUpdate() == NU_SUCCESS; });
    }
    fwu_bench::report_peak(state, largest_image, peak);
}

} // namespace

using fwu_bench::driver_floor;

BENCHMARK_CAPTURE(driver_floor, sata, fwu_bench::instant_disk_name, IOCTL_ATA_PASS_THROUGH_DIRECT,
                  sizeof(ATA_PASS_THROUGH_DIRECT));
BENCHMARK_CAPTURE(driver_floor, csmi, fwu_bench::instant_controller_name, IOCTL_SCSI_MINIPORT,
                  sizeof(CSMI_SAS_STP_PASSTHRU_BUFFER) + CCsmiBus::DOWNLOAD_CHUNK_BYTES);

BENCHMARK_CAPTURE(one_command, sata_instant, bus_kind::sata, target::instant);
BENCHMARK_CAPTURE(one_command, csmi_instant, bus_kind::csmi, target::instant);
BENCHMARK_CAPTURE(one_command, sata_simulated, bus_kind::sata, target::simulated);
BENCHMARK_CAPTURE(one_command, csmi_simulated, bus_kind::csmi, target::simulated);

BENCHMARK_CAPTURE(whole_update, sata, bus_kind::sata)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(whole_update, csmi, bus_kind::csmi)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(peak_memory, sata, bus_kind::sata)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(peak_memory, csmi, bus_kind::csmi)->Iterations(1)->Unit(benchmark::kMillisecond);
