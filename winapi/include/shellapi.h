// Shell interfaces: command-line splitting.
#ifndef FWU_WINAPI_SHELLAPI_H
#define FWU_WINAPI_SHELLAPI_H

#include <windef.h>

#ifdef __cplusplus
extern "C" {
#endif

// Splits a command line by Windows' rules; the array is one LocalAlloc block
// that LocalFree releases.
LPWSTR* WINAPI CommandLineToArgvW(LPCWSTR lpCmdLine, int* pNumArgs);

#ifdef __cplusplus
}
#endif

#endif
