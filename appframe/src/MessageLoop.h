// The thread's message queue, as the application object needs it: one implementation over
// Win32, one for the host.
#pragma once

namespace afx_platform {

// Posts the quit message with nExitCode.
void PostQuit(int nExitCode);

// Retrieves and dispatches messages until the quit message; returns the code it carried.
int PumpUntilQuit();

} // namespace afx_platform
