#include "DravHDDUpdateApp.h"

#include "ControllerMode.h"
#include "DriveDiscovery.h"
#include "ExitCodes.h"
#include "FirmwareImage.h"

#include <commctrl.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>

CDravHDDUpdateApp theApp;

namespace {

const WCHAR kMutexName[] = L"DRAVONI HDD Firmware Update Tool";
const WCHAR kLogFileName[] = L"FwUpdateTool.log";

// To the standard output, where the program's other lines go when no log is written: the
// program has no console of its own, so its output shows where the caller redirects it.
void PrintUsage() {
    std::printf(
        "Usage: Marlisk.exe /t:<device interface path> [/d:<image>] [/r:<retries>] [/l]\n"
        "       Marlisk.exe /c:<port>,<SAS address> [/d:<image>] [/r:<retries>] [/l]\n"
        "\n"
        "  /t:  the Dravoni drive's device interface path (no spaces; quotes are removed)\n"
        "  /c:  a drive behind a CSMI RAID driver: its port, and its SAS address in hexadecimal\n"
        "  /d:  the image, in the current folder or beside the program (default VOKA0101.enc)\n"
        "  /r:  extra attempts after a failed transfer (default 5, at most 10000)\n"
        "  /l   write FwUpdateTool.log in the current folder\n"
        "  /?   print this text\n"
        "\n"
        "Exit codes: 0 success, 2 no such drive, 3 another copy is running or the controller\n"
        "is not in AHCI or RAID mode, 4 image not found, 5 download failed, 6 drive password\n"
        "set, 8 command line, 30 to 33 image or device access.\n");
    std::fflush(stdout);
}

} // namespace

BOOL CDravHDDUpdateApp::InitInstance() {
    INITCOMMONCONTROLSEX initControls{};
    initControls.dwSize = sizeof initControls;
    initControls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&initControls);
    CWinApp::InitInstance();

    RunJob();
    // No main window and no message loop: the program ends with ExitInstance.
    return FALSE;
}

int CDravHDDUpdateApp::ExitInstance() {
    return m_nExitCode;
}

void CDravHDDUpdateApp::RunJob() {
    m_bLogOutput = FALSE;

    // Before the mutex: a copy run for help must not turn away an update started meanwhile.
    if (AsksForHelp(m_lpCmdLine)) {
        PrintUsage();
        m_nExitCode = EXIT_BAD_COMMAND_LINE;
        return;
    }

    // The handle stays open on purpose: the mutex is held until the process ends.
    ::CreateMutexW(nullptr, TRUE, kMutexName);
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        m_nExitCode = EXIT_NOT_AVAILABLE;
        return;
    }

    m_nRetryCount = 5;
    if (!ParseCommandLine(m_lpCmdLine)) {
        m_nExitCode = EXIT_BAD_COMMAND_LINE;
        // Not yet redirected: these lines go to the standard output itself.
        WriteErrorWithExitCode("IDS_ERR_PARAMETER");
        return;
    }

    // Opening the log empties it: were it the image, the image would be lost, or the log's own
    // text sent as firmware.
    if (m_bLogOutput && IsSameFileAsImage(m_strFirmwareFile, kLogFileName)) {
        m_nExitCode = EXIT_BAD_COMMAND_LINE;
        WriteErrorWithExitCode("IDS_ERR_PARAMETER");
        m_bLogOutput = FALSE;
        return;
    }

    if (m_bLogOutput) {
        if (OpenLog()) {
            WriteLog("<< DRAVONI HDD Firmware Update Tool >>\n");
        } else {
            m_bLogOutput = FALSE;
        }
    }

    if (!IsWindowsPE() && (m_dwParamFlags & PARAM_TARGET_PATH) != 0 &&
        !IsAhciOrRaidMode(GetControllerMode())) {
        m_nExitCode = EXIT_NOT_AVAILABLE;
        WriteErrorWithExitCode("IDS_CHANGE_SATAMODE");
        CloseLog();
        return;
    }

    std::wstring strImage;
    if (!ResolveFirmwareFile(m_strFirmwareFile, strImage)) {
        m_nExitCode = EXIT_IMAGE_NOT_FOUND;
        WriteErrorWithExitCode("IDS_ERR_FIRMFILENOTFOUND");
        CloseLog();
        return;
    }

    const std::wstring strRevision = GetRevisionName(m_strFirmwareFile);
    std::wmemset(m_szNewFwRevision, L'\0', 18);
    std::wmemcpy(m_szNewFwRevision, strRevision.c_str(), std::min<size_t>(strRevision.size(), 17));

    int nResult = 0;
    if ((m_dwParamFlags & PARAM_CSMI_ADDRESS) != 0) {
        nResult = UpdateByCsmi(m_strFirmwareFile, m_szNewFwRevision, m_nRetryCount);
    } else {
        m_DriveList = EnumerateTargetDrives();
        if (m_DriveList.empty()) {
            m_nExitCode = EXIT_DRIVE_NOT_FOUND;
            WriteErrorWithExitCode("IDS_NOT_CONNECTED");
            CloseLog();
            return;
        }
        nResult = FindTargetAndUpdate();
    }
    WriteLog(nResult != 0 ? "FwUpdate Success.\n" : "FwUpdate Fail!!\n");
    CloseLog();
}

int CDravHDDUpdateApp::FindTargetAndUpdate() {
    for (const HDD_INFO& drive : m_DriveList) {
        if (m_bLogOutput) {
            WriteLog("Serch device path: <");
            WriteWideText(drive.szDevicePath);
            WriteLog(">\n");
            WriteLog("Input device path: <");
            WriteWideText(m_strTargetPath);
            WriteLog(">\n");
        }
        if (m_strTargetPath == drive.szDevicePath) {
            if ((drive.wSecurityStatus & HDD_SECURITY_ENABLED) != 0) {
                m_nExitCode = EXIT_SECURITY_ENABLED;
                WriteErrorWithExitCode("IDS_SECURITY_ENABLE");
                return 0;
            }
            return UpdateByAtaPassThrough(m_szNewFwRevision, m_strFirmwareFile, drive,
                                          m_nRetryCount);
        }
    }
    m_nExitCode = EXIT_DRIVE_NOT_FOUND;
    WriteErrorWithExitCode("UPDATE_DEVICE_NOT_FOUND");
    return 0;
}

bool CDravHDDUpdateApp::OpenLog() {
    // Text mode: each "\n" reaches the file as "\r\n".
    return ::_wfreopen(kLogFileName, L"w", stdout) != nullptr;
}

void CDravHDDUpdateApp::CloseLog() {
    if (m_bLogOutput) {
        std::fclose(stdout);
        m_bLogOutput = FALSE;
    }
}

void CDravHDDUpdateApp::WriteLog(const char* pszFormat, ...) {
    if (!m_bLogOutput) {
        return;
    }
    va_list args;
    va_start(args, pszFormat);
    std::vfprintf(stdout, pszFormat, args);
    va_end(args);
}

void CDravHDDUpdateApp::WriteErrorWithExitCode(const char* pszText) {
    WriteLog("### ERROR!! <%s> ###\n", pszText);
    WriteLog("ExitCode = %d\n", m_nExitCode);
}

void CDravHDDUpdateApp::WriteWideText(const WCHAR* pszText) {
    for (const WCHAR* p = pszText; *p != L'\0'; ++p) {
        WriteLog("%c", static_cast<int>(*p & 0xFF));
    }
}
