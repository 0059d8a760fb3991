// A driver that answers at once: a disk and a CSMI controller that accept every request the
// programs send with success, hold no data and write no trace. Benchmarks put them on the
// simulated machine so that what they time is the program's own work plus the least a
// DeviceIoControl costs on the host.
#pragma once

#include <cstdint>

namespace fwu_bench {

// Device names the instant devices answer to; none is on the default machine.
inline constexpr const wchar_t* instant_disk_name = L"\\\\.\\PhysicalDrive7";
inline constexpr int instant_controller_number = 7;
inline constexpr const wchar_t* instant_controller_name = L"\\\\.\\SCSI7:";
// The SAS address the instant controller's RAID set 0 lists (and any STP request may use).
inline constexpr std::uint64_t instant_sas_address = 0x5000BEEF00000001ULL;
// The model the instant drive's IDENTIFY data carry (Marlisk's CSMI search wants it).
inline constexpr const char* instant_model = "DRAVONI KX2000 INSTANT";

// Adds both devices to the process's simulated machine (once).
void install_instant_devices();

} // namespace fwu_bench
