// Every link of the stand-in wraps fread (winapi/CMakeLists.txt): reads into buffers are noted,
// so the simulated drivers can tell an image buffer handed over in place from a copy.
#include <winsim/file_reads.h>

#include <stdio.h>

extern "C" size_t __real_fread(void* buffer, size_t size, size_t count, FILE* stream);

extern "C" size_t __wrap_fread(void* buffer, size_t size, size_t count, FILE* stream) {
    const size_t items = __real_fread(buffer, size, count, stream);
    winsim::note_file_read(buffer, items * size);
    return items;
}
