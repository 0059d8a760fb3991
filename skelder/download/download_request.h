#pragma once
// What the command line asked the download engine to send, and how.

#include <windows.h>
#include <ata.h>

#include <cstdint>

namespace skelder {

// DOWNLOAD MICROCODE subcommands (features register).
inline constexpr uint8_t dm_segmented_immediate = ATA_DM_OFFSETS_IMMEDIATE;
inline constexpr uint8_t dm_whole_immediate = ATA_DM_WHOLE_IMAGE;
inline constexpr uint8_t dm_segmented_deferred = ATA_DM_OFFSETS_DEFERRED;
inline constexpr uint8_t dm_activate = ATA_DM_ACTIVATE;

inline constexpr size_t max_path_chars = 260; // including the terminating zero

struct download_request {
    WCHAR file_name[max_path_chars];
    uint8_t subcommand;
    uint8_t segment_blocks; // 512-byte blocks per transfer for 0x03 and 0x0E
};

} // namespace skelder
