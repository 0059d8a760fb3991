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

namespace {
void PrintUsage() {
    Print(L"Usage: NorrixUpdater.exe /T:<device path> /D:<datafile> [/D2:<datafile>] [/V]\n"
          L"       NorrixUpdater.exe /C:<controller>,<SAS address> /D:<datafile> "
          L"[/D2:<datafile>] [/V]\n"
          L"\n"
          L"  /T:   the drive's device path, e.g. \\\\.\\PhysicalDrive1\n"
          L"  /C:   controller N of \\\\.\\ScsiN: and the drive's SAS address (16 hexadecimal "
          L"digits)\n"
          L"  /D:   the datafile\n"
          L"  /D2:  a second datafile: the one of the drive's type is sent\n"
          L"  /V    print details and errors\n"
          L"  /?    print this text\n"
          L"\n"
          L"A value holding a colon (C:\\fw.bin) makes its argument ignored: name files relative\n"
          L"to the current folder.\n"
          L"Exit codes: 0 success, 1 request failed, 2 device did not open, 3 no memory or\n"
          L"unusable datafile, 4 datafile unreadable or command aborted, 5 drive error or busy,\n"
          L"6 security enabled, 7 datafile of another type, 8 command line.\n");
}
} // namespace

int CNorrixUpdaterApp::Run() {
    Print(L"\n\n");
    int nExitCode = NU_BAD_ARGUMENTS;
    if (m_cmdInfo.m_bHelp) {
        // A run for help updates nothing, however complete the rest of its command line.
        PrintUsage();
    } else if (m_cmdInfo.m_bComplete) {
        nExitCode = RunUpdate();
    } else {
        VerbosePrint(L"Required command line argument(s) not found\n");
    }
    VerbosePrint(L"Application exit code = %d\n", nExitCode);
    AfxPostQuitMessage(nExitCode);
    return CWinApp::Run();
}
