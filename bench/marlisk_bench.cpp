// Marlisk: one DOWNLOAD MICROCODE block on each update path, the whole update per MiB and
// its peak memory with the largest image.
#include "support/bench_support.h"
#include "support/instant_devices.h"

#include "AtaDownloadCommand.h"
#include "CsmiRequests.h"
#include "DravHDDUpdateApp.h"
#include "HddInfo.h"
#include "UpdateProgress.h"

#include <cwchar>
#include <vector>

namespace {

using fwu_bench::mib;

enum class path_kind { ata, csmi };
enum class target { instant, simulated };

constexpr uint64_t largest_image = 32 * mib; // 65 536 blocks: offsets reach block 65 535

// The default machine's Dravoni drive: \\.\PhysicalDrive1, and phy 1 (port 1) of \\.\SCSI2:.
constexpr ULONGLONG simulated_sas_address = 0x0000000500000001ULL;

HANDLE open_target(path_kind kind, target where) {
    const wchar_t* name = nullptr;
    if (kind == path_kind::ata) {
        name = where == target::instant ? fwu_bench::instant_disk_name : L"\\\\.\\PhysicalDrive1";
    } else {
        name = where == target::instant ? fwu_bench::instant_controller_name : L"\\\\.\\SCSI2:";
    }
    return ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
}

void one_command(benchmark::State& state, path_kind kind, target where) {
    HANDLE handle = open_target(kind, where);
    if (handle == INVALID_HANDLE_VALUE) {
        state.SkipWithError("cannot open the device");
        return;
    }
    const std::vector<BYTE> block(kBlockSize, 0xA5);
    ATA_PASS_THROUGH_DIRECT ata{};
    CGlobalBlock stp(kStpBlockSize);
    const ULONGLONG address =
        where == target::instant ? fwu_bench::instant_sas_address : simulated_sas_address;
    const BYTE port = where == target::instant ? 0 : 1;
    for (auto _ : state) {
        const bool sent =
            kind == path_kind::ata
                ? SendAtaDownloadBlock(handle, ata, block.data(), 0) == AtaBlockResult::Sent
                : SendStpDownloadBlock(handle, stp, port, address, block.data(), 0) ==
                      StpBlockResult::Sent;
        if (!sent) {
            state.SkipWithError("the command failed");
            break;
        }
    }
    ::CloseHandle(handle);
}

// The whole update path on the instant devices: read the image, (CSMI: find the drive),
// send every block with the progress window moving.
bool update(path_kind kind, const std::wstring& image) {
    if (kind == path_kind::ata) {
        HDD_INFO drive{};
        std::wcsncpy(drive.szDevicePath, fwu_bench::instant_disk_name, 259);
        std::wcsncpy(drive.szModel, L"DRAVONI KX2000 INSTANT", 40);
        std::wcsncpy(drive.szFwRevision, L"KX20B001", 8);
        return theApp.UpdateByAtaPassThrough(L"KX20B002", image.c_str(), drive, 0) != 0;
    }
    theApp.m_ullSasAddress = fwu_bench::instant_sas_address;
    theApp.m_nCsmiPort = 0;
    return theApp.UpdateByCsmi(image.c_str(), L"KX20B002", 0) != 0;
}

void whole_update(benchmark::State& state, path_kind kind) {
    const uint64_t size = largest_image;
    const std::wstring image = fwu_bench::image_file(size);
    for (auto _ : state) {
        if (!update(kind, image)) {
            state.SkipWithError("the update failed");
            break;
        }
    }
    fwu_bench::report_download(state, size, size / kBlockSize);
}

void peak_memory(benchmark::State& state, path_kind kind) {
    const std::wstring image = fwu_bench::image_file(largest_image);
    int64_t peak = -1;
    for (auto _ : state) {
        peak = fwu_bench::peak_memory_of([&] { return update(kind, image); });
    }
    fwu_bench::report_peak(state, largest_image, peak);
}

// What each block's progress step costs: on the host, the window stand-in's bookkeeping
// (part of the whole update's time, not of one command's).
void progress_step(benchmark::State& state) {
    UpdateProgress* progress = ShowUpdateProgress(L"DRAVONI KX2000", L"KX20B001", L"KX20B002",
                                                  static_cast<int>(largest_image / kBlockSize));
    int position = 0;
    for (auto _ : state) {
        progress->SetProgressPos(++position & 0xFFFF);
    }
    CloseUpdateProgress(progress);
}

} // namespace

using fwu_bench::driver_floor;

BENCHMARK_CAPTURE(driver_floor, ata, fwu_bench::instant_disk_name, IOCTL_ATA_PASS_THROUGH_DIRECT,
                  sizeof(ATA_PASS_THROUGH_DIRECT));
BENCHMARK_CAPTURE(driver_floor, csmi, fwu_bench::instant_controller_name, IOCTL_SCSI_MINIPORT,
                  kStpBlockSize);

BENCHMARK_CAPTURE(one_command, ata_instant, path_kind::ata, target::instant);
BENCHMARK_CAPTURE(one_command, csmi_instant, path_kind::csmi, target::instant);
BENCHMARK_CAPTURE(one_command, ata_simulated, path_kind::ata, target::simulated);
BENCHMARK_CAPTURE(one_command, csmi_simulated, path_kind::csmi, target::simulated);

BENCHMARK(progress_step);

BENCHMARK_CAPTURE(whole_update, ata, path_kind::ata)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(whole_update, csmi, path_kind::csmi)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(peak_memory, ata, path_kind::ata)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(peak_memory, csmi, path_kind::csmi)->Iterations(1)->Unit(benchmark::kMillisecond);
