// The host's <stdio.h> plus the Microsoft runtime's additions that the programs use.
#include_next <stdio.h>

#ifndef FWU_WINAPI_STDIO_H
#define FWU_WINAPI_STDIO_H

#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

// Opens a file named by a Windows path (backslashes, drive letters, relative paths),
// mapped onto the host file system the way Wine maps it.
FILE* _wfsopen(const wchar_t* filename, const wchar_t* mode, int shflag);
FILE* _wfopen(const wchar_t* filename, const wchar_t* mode);
// Closes what stream was open on and reopens it onto the file. In text mode (no "b" in the
// mode) every "\n" written becomes "\r\n", as the Microsoft runtime writes text files.
// The standard streams (stdout, stderr) are rebound; the stream to use is the one returned.
FILE* _wfreopen(const wchar_t* filename, const wchar_t* mode, FILE* stream);
int _fseeki64(FILE* stream, int64_t offset, int origin);
int64_t _ftelli64(FILE* stream);

#ifdef __cplusplus
}
#endif

#endif
