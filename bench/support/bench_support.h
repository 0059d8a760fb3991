// What every benchmark program shares: image files in a temporary folder, the peak-memory
// probe and the entry that runs the benchmarks with the programs' own output silenced.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>

namespace fwu_bench {

inline constexpr std::uint64_t mib = 1024 * 1024;

// A file of `size` bytes of a pattern, made once per size in the run's temporary folder;
// returns its name as a Windows path ("Z:\tmp\...") for the programs to open.
std::wstring image_file(std::uint64_t size);

// Runs `step` in a child process and returns how far the child's resident memory rose above
// what it held when the step began (bytes), or -1 when the child failed. `step` returns
// whether it did its work; the child's memory is its own, so nothing leaks into the caller.
std::int64_t peak_memory_of(const std::function<bool()>& step);

// Sets the counters of a peak-memory benchmark: the image, the peak above the start, and
// the part of it beyond the image.
void report_peak(benchmark::State& state, std::uint64_t image_size, std::int64_t peak);

// For benchmarks that time a whole download: the image's bytes and commands per iteration,
// and the time per MiB of image ("us_per_MiB").
void report_download(benchmark::State& state, std::uint64_t image_size, std::uint64_t commands);

// The least a DeviceIoControl costs: a zero-filled request of `size` bytes, in and out in
// one buffer, sent to an instant device with `code` and nothing else done.
void driver_floor(benchmark::State& state, const wchar_t* device, std::uint32_t code,
                  std::uint32_t size);

} // namespace fwu_bench
