#pragma once
// What the command line asked the download engine to send, and how.

#include <windows.h>

#include <cstdint>

namespace skelder {

// DOWNLOAD MICROCODE subcommands (features register).
inline constexpr uint8_t dm_segmented_immediate = 0x03;
inline constexpr uint8_t dm_whole_immediate = 0x07;
inline constexpr uint8_t dm_segmented_deferred = 0x0E;
inline constexpr uint8_t dm_activate = 0x0F;

inline constexpr size_t max_path_chars = 260; // including the terminating zero

struct download_request {
    WCHAR file_name[max_path_chars];
    uint8_t subcommand;
    uint8_t segment_blocks; // 512-byte blocks per transfer for 0x03 and 0x0E
};

} // namespace skelder
