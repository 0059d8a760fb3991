// The application object. A program defines exactly one object of a class derived from CWinApp
// at namespace scope; the framework's entry drives it through its hooks:
//   InitInstance() -> Run() -> (Run's default returns) ExitInstance()
// and the value ExitInstance returns becomes the process exit code.
#pragma once

#include "appframe/CommandLineInfo.h"
#include "appframe/CString.h"

#include <windows.h>

#ifndef SW_SHOW
#define SW_SHOW 5 // the show state of a normal start; the host's headers have no window API
#endif

class CWinApp {
public:
    explicit CWinApp(const TCHAR* pszAppName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Start hook: return FALSE to end the program at once (ExitInstance still runs).
    virtual BOOL InitInstance();
    // Main loop: pumps messages until the quit message, then returns ExitInstance().
    virtual int Run();
    // Exit hook: its result is the process exit code; by default the quit message's code.
    virtual int ExitInstance();

    // Splits the process command line by Windows' rules and hands each argument after the
    // program name to rCmdInfo.ParseParam.
    void ParseCommandLine(CCommandLineInfo& rCmdInfo);

    HINSTANCE m_hInstance = nullptr;
    LPTSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = 0;
    const TCHAR* m_pszAppName = nullptr;

protected:
    // The code that the quit message carried; 0 until one arrived.
    int m_nQuitCode = 0;
};

// The one application object, or null before it is constructed.
CWinApp* AfxGetApp();

// The framework's main routine: records the start-up values in the application object and runs
// its hooks. Returns the process exit code; -1 when the program defines no application object.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow);

// Posts the quit message with nExitCode to the calling thread's message queue.
void AfxPostQuitMessage(int nExitCode);
