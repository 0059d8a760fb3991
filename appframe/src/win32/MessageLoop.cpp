#include "../MessageLoop.h"

#include <windows.h>

namespace afx_platform {

void PostQuit(int nExitCode) {
    ::PostQuitMessage(nExitCode);
}

int PumpUntilQuit() {
    MSG msg{};
    for (;;) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            return static_cast<int>(msg.wParam);
        }
        if (got == -1) {
            return 0; // the queue cannot be read; there is no quit code to report
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

} // namespace afx_platform
