#pragma once
// A disk and controller driver that answers from the fuzz input: a device of the simulated
// machine that answers to every device name, asked before the machine's own, so the programs'
// opens and control calls of devices land here through the stand-in; files, the setup API and
// every other call are the stand-in's as in any host run. The control calls work in the
// caller's own buffers.
//
// The script, read in call order:
//   CreateFileW of a device name: one byte; a multiple of 4 refuses the open (bit 2 set:
//     access denied, else not found).
//   DeviceIoControl: a mode byte
//     bits 0-2  0: the call fails, with the Windows error that bits 3-5 pick
//     bits 3-5  on success, the number of patches that follow
//     bit 6     a dword follows: the bytes-returned count; else the output size is returned
//     bit 7     direct pass-through reading data: the data buffer is first filled from the
//               script
//   a patch: a byte (bit 0: the data buffer rather than the output buffer; bit 1: fill with
//     one byte rather than copy bytes), a word offset and a word length, then the byte or
//     the bytes. Offsets wrap round the area; lengths stop at its end.
// A real driver never moves the caller's buffer pointers or lengths, so patches to those
// header fields are undone; the data length it reports back is left as patched.
// The driver reads every byte of the sizes it is given and writes only inside them, so
// AddressSanitizer reports a size larger than its buffer. A control call on a handle that
// is closed, or a second close, aborts the run (the stand-in's closed-handle hook).

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Forgets the previous run's handles and answers from these bytes from now on.
void reset_scripted_driver(const uint8_t* data, size_t size);

// Device handles opened and not closed in this run.
size_t open_device_handles();

// True when a DOWNLOAD MICROCODE the script answered with a failure was never sent again
// (same subcommand and block offset) later in the run. A failure is a failed call, or a
// reply that carries one: a SCSI status other than GOOD (a CHECK CONDITION judged by the ATA
// status its sense data returns, where it returns one), ERR, DF or BSY in the returned ATA
// status (task file or status FIS), a status FIS left all zero, or a CSMI ReturnCode or
// connection status other than 0.
// A run that ends with success must leave none.
bool download_failure_left_standing();

} // namespace fuzz
