// A program on the framework that reports what the framework does with it: each hook as it
// runs and each argument as ParseParam gets it. Its arguments steer it:
//   fail-init   InitInstance returns FALSE
//   quit=N      Run posts the quit message with N before the message loop
#include <appframe/WinApp.h>

#include <cstdio>
#include <cwchar>

namespace {

class CProbeInfo : public CCommandLineInfo {
public:
    void ParseParam(const TCHAR* pszParam, BOOL bFlag, BOOL bLast) override {
        std::wprintf(L"param [%ls] flag=%d last=%d\n", pszParam, bFlag, bLast);
        CCommandLineInfo::ParseParam(pszParam, bFlag, bLast);
        const CString param(pszParam);
        if (param == L"fail-init") {
            m_bFailInit = true;
        } else if (param.Left(5) == L"quit=") {
            m_bQuit = true;
            m_nQuitCode = static_cast<int>(std::wcstol(param.Mid(5), nullptr, 10));
        }
    }

    bool m_bFailInit = false;
    bool m_bQuit = false;
    int m_nQuitCode = 0;
};

class CProbeApp : public CWinApp {
public:
    CProbeApp() : CWinApp(L"Probe") {}

    BOOL InitInstance() override {
        std::wprintf(L"InitInstance show=%d instance=%d\n", m_nCmdShow, m_hInstance != nullptr);
        ParseCommandLine(m_info);
        std::wprintf(L"file [%ls]\n", m_info.m_strFileName.GetString());
        return m_info.m_bFailInit ? FALSE : TRUE;
    }

    int Run() override {
        std::wprintf(L"Run\n");
        if (m_info.m_bQuit) {
            AfxPostQuitMessage(m_info.m_nQuitCode);
        }
        return CWinApp::Run();
    }

    int ExitInstance() override {
        const int nCode = CWinApp::ExitInstance();
        std::wprintf(L"ExitInstance %d\n", nCode);
        return nCode;
    }

    CProbeInfo m_info;
};

CProbeApp theApp;

} // namespace

int main() {
    return AfxWinMain(::GetModuleHandleW(nullptr), nullptr, ::GetCommandLineW(), SW_SHOW);
}
