// The command line: tokens split at spaces, each matched by its prefix.
#include "DravHDDUpdateApp.h"

#include "FirmwareImage.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kMaxRetryCount = 10000;

bool StartsWith(const std::wstring& strToken, const WCHAR* pszPrefix) {
    return strToken.compare(0, std::wcslen(pszPrefix), pszPrefix) == 0;
}

// An unsigned number with automatic base (decimal, 0x hexadecimal, leading 0 octal), read up
// to the first character that does not belong to it; 0 when there are no digits.
DWORD ReadAutoBaseNumber(const WCHAR* pszText) {
    return static_cast<DWORD>(std::wcstoul(pszText, nullptr, 0));
}

// The tokens of the command line: split at every space, runs of spaces giving none; double
// quotes group nothing.
std::vector<std::wstring> SplitAtSpaces(const WCHAR* pszCommandLine) {
    const std::wstring strLine = pszCommandLine != nullptr ? pszCommandLine : L"";
    std::vector<std::wstring> tokens;
    size_t pos = 0;
    while (pos < strLine.size()) {
        if (strLine[pos] == L' ') {
            ++pos;
            continue;
        }
        const size_t end = std::min(strLine.find(L' ', pos), strLine.size());
        tokens.push_back(strLine.substr(pos, end - pos));
        pos = end;
    }
    return tokens;
}

} // namespace

bool CDravHDDUpdateApp::AsksForHelp(const WCHAR* pszCommandLine) {
    const std::vector<std::wstring> tokens = SplitAtSpaces(pszCommandLine);
    return std::any_of(tokens.begin(), tokens.end(),
                       [](const std::wstring& strToken) { return StartsWith(strToken, L"/?"); });
}

BOOL CDravHDDUpdateApp::ParseCommandLine(const WCHAR* pszCommandLine) {
    m_dwParamFlags = 0;
    m_nCsmiPort = 0;
    m_ullSasAddress = 0;
    bool bFirmwareFileGiven = false;
    const std::vector<std::wstring> tokens = SplitAtSpaces(pszCommandLine);

    for (const std::wstring& strToken : tokens) {
        const std::wstring strValue = strToken.size() > 3 ? strToken.substr(3) : L"";

        if (StartsWith(strToken, L"/t:") || StartsWith(strToken, L"/T:")) {
            std::wstring strPath;
            for (const WCHAR ch : strValue) {
                if (ch != L'"') {
                    strPath += ch;
                }
            }
            // The path must fit its 260-character buffer with the terminator.
            if (strPath.size() >= static_cast<size_t>(kPathChars)) {
                return FALSE;
            }
            m_strTargetPath = strPath.c_str();
            m_dwParamFlags |= PARAM_TARGET_PATH;
        } else if (StartsWith(strToken, L"/c:") || StartsWith(strToken, L"/C:")) {
            m_nCsmiPort = ReadAutoBaseNumber(strValue.c_str());
            const auto comma = strToken.find(L',');
            m_ullSasAddress = comma == std::wstring::npos
                                  ? 0
                                  : std::wcstoull(strToken.c_str() + comma + 1, nullptr, 16);
            m_dwParamFlags |= PARAM_CSMI_ADDRESS;
        } else if (StartsWith(strToken, L"/d:") || StartsWith(strToken, L"/D:")) {
            if (strValue.size() >= static_cast<size_t>(kPathChars)) {
                return FALSE;
            }
            m_strFirmwareFile = strValue.c_str();
            bFirmwareFileGiven = true;
        } else if (StartsWith(strToken, L"/l") || StartsWith(strToken, L"/L")) {
            m_bLogOutput = TRUE;
        } else if (StartsWith(strToken, L"/r:") || StartsWith(strToken, L"/R:")) {
            m_nRetryCount = std::min(ReadAutoBaseNumber(strValue.c_str()), kMaxRetryCount);
        } else {
            return FALSE;
        }
    }
    if (tokens.empty() || m_dwParamFlags == 0) {
        return FALSE;
    }
    if (!bFirmwareFileGiven) {
        m_strFirmwareFile = L"VOKA0101.enc";
    }
    return TRUE;
}
