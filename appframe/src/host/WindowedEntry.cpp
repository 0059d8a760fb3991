// The entry of a windowed program on the host: Windows' start-up code calls the program's
// wWinMain with the command line after the program name; a host process starts at main, so
// this does what that start-up code does.
#include <windows.h>

#ifndef SW_SHOW
#define SW_SHOW 5 // the show state of a normal start; the host's headers have no window API
#endif

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow);

namespace {

// What Windows hands WinMain: the command line without the program name and the blanks
// after it (a quoted program name ends at its closing quote).
LPWSTR SkipProgramName(LPWSTR pszLine) {
    if (*pszLine == L'"') {
        ++pszLine;
        while (*pszLine != L'\0' && *pszLine != L'"') {
            ++pszLine;
        }
        if (*pszLine == L'"') {
            ++pszLine;
        }
    } else {
        while (*pszLine != L'\0' && *pszLine != L' ' && *pszLine != L'\t') {
            ++pszLine;
        }
    }
    while (*pszLine == L' ' || *pszLine == L'\t') {
        ++pszLine;
    }
    return pszLine;
}

} // namespace

int main() {
    return wWinMain(::GetModuleHandleW(nullptr), nullptr, SkipProgramName(::GetCommandLineW()),
                    SW_SHOW);
}
