// Result codes of the bus operations and exit codes of the program. The update flow passes a
// bus result on as the exit code unchanged, so both live in one table.
#pragma once

enum NorrixResult : int {
    NU_SUCCESS = 0,
    NU_IOCTL_FAILED = 1,      // DeviceIoControl failed, the CSMI driver refused, SCSI status set
    NU_OPEN_FAILED = 2,       // device or controller did not open
    NU_NO_DATA_OR_MEMORY = 3, // empty or unsendable image, or no memory
    NU_DRIVE_ABORTED = 4,     // ERR with ABRT
    NU_DATAFILE_ERROR = 4,    // datafile did not open, has no size, or read short
    NU_DRIVE_ERROR = 5,       // ERR without ABRT, busy through every retry, SCSI ioctl failed
    NU_SECURITY_ENABLED = 6,
    NU_DATAFILE_MISMATCH = 7,
    NU_BAD_ARGUMENTS = 8, // missing command-line arguments, or a malformed SAS address
    NU_NOT_OFFERED = 255, // operation not offered by this bus
};
