#include "NorrixUpdaterApp.h"

#include "Console.h"
#include "ResultCodes.h"

CNorrixUpdaterApp theApp;

bool IsVerbose() {
    return theApp.m_cmdInfo.m_bVerbose;
}

BOOL CNorrixUpdaterApp::InitInstance() {
    if (!CWinApp::InitInstance()) {
        return FALSE;
    }
    ParseCommandLine(m_cmdInfo);
    return TRUE;
}

int CNorrixUpdaterApp::Run() {
    Print(L"\n\n");
    int nExitCode = NU_BAD_ARGUMENTS;
    if (m_cmdInfo.m_bComplete) {
        nExitCode = RunUpdate();
    } else {
        VerbosePrint(L"Required command line argument(s) not found\n");
    }
    VerbosePrint(L"Application exit code = %d\n", nExitCode);
    AfxPostQuitMessage(nExitCode);
    return CWinApp::Run();
}
