// Console entry: hands the module, the command line and the show state to the framework.
#include <appframe/WinApp.h>

int main() {
    HMODULE hModule = ::GetModuleHandleW(nullptr);
    if (hModule == nullptr) {
        return 3;
    }
    return AfxWinMain(hModule, nullptr, ::GetCommandLineW(), SW_SHOW);
}
