// The application object: its start hook parses the command line, its main-loop hook runs the
// one update and turns the result into the process exit code.
#pragma once

#include "CustomCommandLineInfo.h"

#include <appframe/WinApp.h>

class CNorrixUpdaterApp : public CWinApp {
public:
    CNorrixUpdaterApp() = default;

    BOOL InitInstance() override;
    int Run() override;

    // The update flow; returns the exit code.
    int RunUpdate();
    // Prints the drive's strings and picks the datafile whose type matches the drive; false
    // when neither does.
    bool CheckDatafile(const BYTE* pIdentifyData);

    CCustomCommandLineInfo m_cmdInfo;
};

extern CNorrixUpdaterApp theApp;
