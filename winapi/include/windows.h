// The Windows interfaces for the host build: same names, types and layouts as the
// Windows SDK, backed by the stand-in and the simulated machine.
#ifndef FWU_WINAPI_WINDOWS_H
#define FWU_WINAPI_WINDOWS_H

#include <windef.h>
#include <winerror.h>
#include <winbase.h>
#include <winuser.h>

#endif
