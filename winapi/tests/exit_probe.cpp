// A program for the process-level checks: sleeps, prints its arguments as
// CommandLineToArgvW splits them, then returns from main or calls exit().
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

int main() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; i < count; ++i) {
        std::printf("[%ls]\n", argv[i]);
    }
    const bool use_exit = count > 1 && std::wcscmp(argv[1], L"exit") == 0;
    const int code = count > 2 ? static_cast<int>(std::wcstol(argv[2], nullptr, 10)) : 0;
    LocalFree(argv);
    Sleep(1500);
    if (use_exit) {
        std::exit(code);
    }
    return code;
}
