#include "CustomCommandLineInfo.h"

#include <vector>

namespace {
// The tokens of text between delimiters; leading and repeated delimiters give none. Stops
// counting once more than two are found: no switch takes more.
std::vector<CString> SplitAt(const CString& text, const wchar_t* pszDelimiters) {
    std::vector<CString> tokens;
    int iStart = 0;
    while (tokens.size() < 3) {
        CString token = text.Tokenize(pszDelimiters, iStart);
        if (iStart < 0) {
            break;
        }
        tokens.push_back(token);
    }
    return tokens;
}
} // namespace

void CCustomCommandLineInfo::ParseParam(const TCHAR* pszParam, BOOL /*bFlag*/, BOOL bLast) {
    const std::vector<CString> tokens = SplitAt(CString(pszParam), L":");
    if (tokens.size() == 2) {
        CString strSwitch = tokens[0];
        strSwitch.MakeLower();
        if (strSwitch == L"t") {
            m_strTarget = tokens[1];
        } else if (strSwitch == L"d") {
            m_strDatafile = tokens[1];
        } else if (strSwitch == L"d2") {
            m_strDatafile2 = tokens[1];
        } else if (strSwitch == L"c") {
            const std::vector<CString> parts = SplitAt(tokens[1], L",");
            if (parts.size() == 2) {
                m_strController = parts[0];
                m_strSasAddress = parts[1];
            }
        }
    } else if (tokens.size() == 1) {
        CString strSwitch = tokens[0];
        strSwitch.MakeLower();
        if (strSwitch == L"v") {
            m_bVerbose = true;
        } else if (strSwitch == L"?") {
            m_bHelp = true; // "/?", how Windows programs are asked for help
        }
    }

    if (bLast) {
        const bool bTarget = !m_strTarget.IsEmpty() && !m_strDatafile.IsEmpty();
        const bool bCsmi =
            !m_strController.IsEmpty() && !m_strSasAddress.IsEmpty() && !m_strDatafile.IsEmpty();
        if (bTarget || bCsmi) {
            m_bComplete = true;
        }
    }
}
