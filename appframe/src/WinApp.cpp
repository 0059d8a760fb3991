#include "appframe/WinApp.h"

#include "MessageLoop.h"

#include <shellapi.h>

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp::CWinApp(const TCHAR* pszAppName) : m_pszAppName(pszAppName) {
    g_pApp = this;
}

CWinApp::~CWinApp() {
    if (g_pApp == this) {
        g_pApp = nullptr;
    }
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::Run() {
    m_nQuitCode = afx_platform::PumpUntilQuit();
    return ExitInstance();
}

int CWinApp::ExitInstance() {
    return m_nQuitCode;
}

void CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr) {
        return;
    }
    for (int i = 1; i < argc; ++i) {
        const TCHAR* pszParam = argv[i];
        BOOL bFlag = FALSE;
        if (pszParam[0] == L'/' || pszParam[0] == L'-') {
            bFlag = TRUE;
            ++pszParam;
        }
        rCmdInfo.ParseParam(pszParam, bFlag, i == argc - 1);
    }
    ::LocalFree(argv);
}

CWinApp* AfxGetApp() {
    return g_pApp;
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPTSTR lpCmdLine, int nCmdShow) {
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr) {
        return -1;
    }
    pApp->m_hInstance = hInstance;
    pApp->m_lpCmdLine = lpCmdLine;
    pApp->m_nCmdShow = nCmdShow;
    if (!pApp->InitInstance()) {
        return pApp->ExitInstance();
    }
    return pApp->Run();
}

void AfxPostQuitMessage(int nExitCode) {
    afx_platform::PostQuit(nExitCode);
}
