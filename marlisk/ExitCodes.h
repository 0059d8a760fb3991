// The process exit codes; the update paths set them from the same table.
#pragma once

enum MarliskExitCode : int {
    EXIT_UPDATE_SUCCESS = 0,
    EXIT_DRIVE_NOT_FOUND = 2,
    EXIT_NOT_AVAILABLE = 3, // another instance, controller mode, or IDENTIFY over CSMI
    EXIT_IMAGE_NOT_FOUND = 4,
    EXIT_TRANSFER_FAILED = 5,
    EXIT_SECURITY_ENABLED = 6,
    EXIT_BAD_COMMAND_LINE = 8,
    EXIT_OPEN_FAILED = 30,
    EXIT_IMAGE_EMPTY = 31,
    EXIT_IMAGE_UNREADABLE = 32, // also an image too large for 16-bit block offsets
    EXIT_ADAPTER_QUERY_FAILED = 33,
};
