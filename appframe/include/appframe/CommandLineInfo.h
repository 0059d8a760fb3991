// The command-line info object: CWinApp::ParseCommandLine hands it every argument after the
// program name, in order.
#pragma once

#include "appframe/CString.h"

class CCommandLineInfo {
public:
    enum { FileNew, FileOpen, FileNothing };

    CCommandLineInfo() = default;
    virtual ~CCommandLineInfo() = default;
    CCommandLineInfo(const CCommandLineInfo&) = delete;
    CCommandLineInfo& operator=(const CCommandLineInfo&) = delete;

    // pszParam is the argument without a leading '/' or '-'; bFlag tells whether one was
    // removed; bLast marks the last argument.
    virtual void ParseParam(const TCHAR* pszParam, BOOL bFlag, BOOL bLast);

    // What the default ParseParam records: the first argument that is not a flag names a file.
    int m_nShellCommand = FileNew;
    CString m_strFileName;
};
