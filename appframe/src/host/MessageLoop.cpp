// On the host nothing but the application posts messages, and the only message is the quit
// message: the queue is the pending quit code.
#include "../MessageLoop.h"

#include <optional>

namespace afx_platform {
namespace {
std::optional<int> g_quitCode;
}

void PostQuit(int nExitCode) {
    g_quitCode = nExitCode;
}

int PumpUntilQuit() {
    // Win32's GetMessage would wait for ever on an empty queue; here nothing else could post,
    // so a loop without a quit message ends at once with code 0.
    const int nCode = g_quitCode.value_or(0);
    g_quitCode.reset();
    return nCode;
}

} // namespace afx_platform
