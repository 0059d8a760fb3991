// The application object: its start hook runs the whole job, its end hook returns the exit
// code. All state of a run lives here.
#pragma once

#include "HddInfo.h"
#include "ImageBuffer.h"

#include <string>

#include <appframe/CString.h>
#include <appframe/WinApp.h>

constexpr DWORD PARAM_TARGET_PATH = 0x1;  // "/t:" given
constexpr DWORD PARAM_CSMI_ADDRESS = 0x2; // "/c:" given
constexpr int kNoCsmiController = 10;     // no controller holds an eligible drive

class CDravHDDUpdateApp : public CWinApp {
public:
    CDravHDDUpdateApp() = default;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // Fills the members below from the command line (the text after the program name).
    BOOL ParseCommandLine(const WCHAR* pszCommandLine);
    // Whether a token of the command line begins with "/?".
    static bool AsksForHelp(const WCHAR* pszCommandLine);
    // Picks the drive whose path equals the target and updates it; 1 on success.
    int FindTargetAndUpdate();

    // The two update paths: nonzero on success; they set m_nExitCode and write their lines.
    int UpdateByAtaPassThrough(const WCHAR* pszNewFwRevision, const WCHAR* pszFirmwareFile,
                               const HDD_INFO& drive, DWORD dwRetryCount);
    int UpdateByCsmi(const WCHAR* pszFirmwareFile, const WCHAR* pszNewFwRevision,
                     DWORD dwRetryCount);

    // Finds the controller (0 to 9) whose RAID set 0 lists m_ullSasAddress and identifies the
    // drive through it; nController is 10 when none does or the model is not a Dravoni one.
    // 0 when IDENTIFY through CSMI failed. Texts are bytes, trailing blanks kept.
    int SearchDeviceCsmi(char* pszFwRevision, char* pszModel, int& nController, char* pszSerialNo,
                         WORD& wSecurity);

    // Log lines go to the standard output, which "/l" reopens onto the log file; nothing is
    // written while logging is off.
    void WriteLog(const char* pszFormat, ...);
    // "### ERROR!! <text> ###", then "ExitCode = n" with the current exit code.
    void WriteErrorWithExitCode(const char* pszText);
    // Each wide character through "%c": only its low 8 bits reach the file.
    void WriteWideText(const WCHAR* pszText);

    CString m_strTargetPath;
    CString m_strFirmwareFile;
    DWORD m_dwParamFlags = 0;
    DWORD m_nCsmiPort = 0;
    ULONGLONG m_ullSasAddress = 0;
    DWORD m_nRetryCount = 5;
    HddInfoList m_DriveList;
    int m_nExitCode = 0;
    WCHAR m_szNewFwRevision[18] = {};
    BOOL m_bLogOutput = FALSE;

private:
    void RunJob();
    // The path under which an update path opens the image.
    static std::wstring FirmwareFilePath(const WCHAR* pszFirmwareFile);
    // Opens, sizes and reads the image; on failure sets the exit code, writes the lines (call
    // names after pszPrefix) and returns false.
    bool LoadFirmwareImage(const WCHAR* pszFirmwareFile, const char* pszPrefix, ImageBuffer& image);
    bool OpenLog();
    void CloseLog();
};

extern CDravHDDUpdateApp theApp;
