// Windows only: shows the progress window as an update shows it (no message loop), for a
// screenshot. Arguments: none. Holds the window 4 seconds at 6 of 10 blocks, then closes it.
#include "UpdateProgress.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    INITCOMMONCONTROLSEX initControls{};
    initControls.dwSize = sizeof initControls;
    initControls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&initControls);
    UpdateProgress* pProgress = ShowUpdateProgress(L"DRAVONI KX2000 WITH A MODEL NUMBER TOO LONG",
                                                   L"KX20B001", L"KX20B002", 10);
    for (int i = 0; i < 2; ++i) {
        pProgress->SetProgressPos(i + 5);
    }
    ::Sleep(4000);
    CloseUpdateProgress(pProgress);
    return 0;
}
