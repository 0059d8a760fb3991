#include "bench_support.h"

#include "instant_devices.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fwu_bench {
namespace {

std::filesystem::path& temp_folder() {
    static std::filesystem::path folder;
    return folder;
}

std::int64_t status_kib(const char* key) {
    std::ifstream status("/proc/self/status");
    const std::size_t key_length = std::strlen(key);
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, key_length, key) == 0) {
            return std::atoll(line.c_str() + key_length);
        }
    }
    return -1;
}

std::wstring windows_path(const std::filesystem::path& path) {
    std::wstring name = L"Z:";
    for (char ch : path.string()) {
        name += ch == '/' ? L'\\' : static_cast<wchar_t>(ch);
    }
    return name;
}

} // namespace

std::wstring image_file(std::uint64_t size) {
    static std::map<std::uint64_t, std::wstring> made;
    if (const auto found = made.find(size); found != made.end()) {
        return found->second;
    }
    const auto path = temp_folder() / ("image-" + std::to_string(size) + ".bin");
    std::vector<char> bytes(static_cast<std::size_t>(size));
    std::uint32_t state = 0x2545F491u ^ static_cast<std::uint32_t>(size);
    for (auto& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
    return made[size] = windows_path(path);
}

std::int64_t peak_memory_of(const std::function<bool()>& step) {
    int channel[2];
    if (::pipe(channel) != 0) {
        return -1;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const std::int64_t before = status_kib("VmRSS:");
        // Resets the high-water mark to what the process holds now.
        std::ofstream("/proc/self/clear_refs") << "5";
        std::int64_t rise = -1;
        if (step()) {
            rise = (status_kib("VmHWM:") - before) * 1024;
        }
        [[maybe_unused]] const auto written = ::write(channel[1], &rise, sizeof rise);
        ::_exit(0);
    }
    ::close(channel[1]);
    std::int64_t rise = -1;
    if (child < 0 || ::read(channel[0], &rise, sizeof rise) != sizeof rise) {
        rise = -1;
    }
    ::close(channel[0]);
    if (child > 0) {
        ::waitpid(child, nullptr, 0);
    }
    return rise;
}

void report_peak(benchmark::State& state, std::uint64_t image_size, std::int64_t peak) {
    if (peak < 0) {
        state.SkipWithError("the step failed in the child process");
        return;
    }
    state.counters["image_MiB"] = static_cast<double>(image_size) / mib;
    state.counters["peak_MiB"] = static_cast<double>(peak) / mib;
    state.counters["over_image_KiB"] =
        (static_cast<double>(peak) - static_cast<double>(image_size)) / 1024;
}

void report_download(benchmark::State& state, std::uint64_t image_size, std::uint64_t commands) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image_size));
    // Seconds per MiB: the inverse of MiB per second (shown with its SI prefix, e.g. "45us").
    state.counters["us_per_MiB"] = benchmark::Counter(
        static_cast<double>(image_size) / mib,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["commands"] = static_cast<double>(commands);
}

void driver_floor(benchmark::State& state, const wchar_t* device, std::uint32_t code,
                  std::uint32_t size) {
    HANDLE handle =
        CreateFileW(device, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        state.SkipWithError("cannot open the device");
        return;
    }
    std::vector<std::uint8_t> request(size, 0);
    for (auto _ : state) {
        DWORD returned = 0;
        if (!DeviceIoControl(handle, code, request.data(), size, request.data(), size, &returned,
                             nullptr)) {
            state.SkipWithError("the request failed");
            break;
        }
    }
    CloseHandle(handle);
}

} // namespace fwu_bench

// The programs print progress and results to standard output; the table goes to the
// terminal the benchmark was started from, the programs' lines to /dev/null.
int main(int argc, char** argv) {
    ::setenv("WINSIM_CLOCK", "virtual", 1); // pauses and modelled device time cost nothing
    ::unsetenv("WINSIM_TRACE");
    ::unsetenv("WINSIM_MACHINE");
    char folder[] = "/tmp/fwu-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    fwu_bench::temp_folder() = folder;

    const int table = ::dup(STDOUT_FILENO);
    std::fflush(stdout);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::close(null);
    // Appending: a fresh open of a file the output was sent to must not empty it.
    std::ofstream out("/dev/fd/" + std::to_string(table), std::ios::app);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    fwu_bench::install_instant_devices();
    benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
    reporter.SetOutputStream(&out);
    reporter.SetErrorStream(&out);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove_all(folder);
    return 0;
}
