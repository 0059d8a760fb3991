// Common controls: initialisation and the progress bar's messages.
#ifndef FWU_WINAPI_COMMCTRL_H
#define FWU_WINAPI_COMMCTRL_H

#include <windows.h>

typedef struct tagINITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
} INITCOMMONCONTROLSEX, *LPINITCOMMONCONTROLSEX;

#define ICC_PROGRESS_CLASS 0x00000020
#define ICC_WIN95_CLASSES 0x000000FF

#define PROGRESS_CLASSW L"msctls_progress32"

#define PBM_SETRANGE (WM_USER + 1)
#define PBM_SETPOS (WM_USER + 2)
#define PBM_DELTAPOS (WM_USER + 3)
#define PBM_SETSTEP (WM_USER + 4)
#define PBM_STEPIT (WM_USER + 5)
#define PBM_SETRANGE32 (WM_USER + 6)
#define PBM_GETRANGE (WM_USER + 7)
#define PBM_GETPOS (WM_USER + 8)

#ifdef __cplusplus
extern "C" {
#endif

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce);

#ifdef __cplusplus
}
#endif

#endif
