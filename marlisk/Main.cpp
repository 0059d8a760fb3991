// The entry: hands the module, the text after the program name and the show state to the
// framework. A windowed program on Windows; a plain process on the host.
#include <appframe/WinApp.h>

#ifdef _WIN32

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow) {
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}

#else

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
    return AfxWinMain(::GetModuleHandleW(nullptr), nullptr, SkipProgramName(::GetCommandLineW()),
                      SW_SHOW);
}

#endif
