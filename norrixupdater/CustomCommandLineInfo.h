// NorrixUpdater's switches: /T:path, /D:path, /D2:path, /C:controller,sasaddress, /V and /?.
#pragma once

#include <appframe/CommandLineInfo.h>
#include <appframe/CString.h>

class CCustomCommandLineInfo : public CCommandLineInfo {
public:
    CCustomCommandLineInfo() = default;
    ~CCustomCommandLineInfo() override = default;

    // The flag is not looked at, so "v" and "t:path" work like "/V" and "/T:path".
    void ParseParam(const TCHAR* pszParam, BOOL bFlag, BOOL bLast) override;

    bool m_bComplete = false; // the required arguments were there at the last argument
    bool m_bVerbose = false;
    bool m_bHelp = false; // /? given: print the usage, update nothing
    CString m_strTarget;
    CString m_strDatafile;
    CString m_strDatafile2;
    CString m_strController;
    CString m_strSasAddress;
};
