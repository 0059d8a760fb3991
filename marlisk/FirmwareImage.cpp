#include "FirmwareImage.h"

#include <cwchar>

bool IsExistingFile(const WCHAR* pszPath) {
    WIN32_FIND_DATAW findData{};
    HANDLE hFind = ::FindFirstFileW(pszPath, &findData);
    if (hFind == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::FindClose(hFind);
    return (findData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool GetModuleFolderPath(const WCHAR* pszFileName, std::wstring& strPath) {
    WCHAR szModule[kPathChars + 1] = {};
    const DWORD dwLength = ::GetModuleFileNameW(nullptr, szModule, kPathChars + 1);
    // A full buffer means the program's path was cut.
    if (dwLength == 0 || dwLength >= kPathChars + 1) {
        return false;
    }
    for (int i = static_cast<int>(dwLength) - 1; i > 0; --i) {
        if (szModule[i] == L'\\') {
            szModule[i] = L'\0';
            break;
        }
    }
    WCHAR szPath[kPathChars + 1] = {};
    const int nWritten = std::swprintf(szPath, kPathChars + 1, L"%ls\\%ls", szModule, pszFileName);
    if (nWritten < 0 || nWritten > kPathChars) {
        return false;
    }
    strPath.assign(szPath, static_cast<size_t>(nWritten));
    return true;
}

bool ResolveFirmwareFile(const WCHAR* pszFileName, std::wstring& strResolved) {
    if (std::wcslen(pszFileName) > static_cast<size_t>(kPathChars)) {
        return false;
    }
    if (IsExistingFile(pszFileName)) {
        strResolved = pszFileName;
        return true;
    }
    std::wstring strBeside;
    if (GetModuleFolderPath(pszFileName, strBeside) && IsExistingFile(strBeside.c_str())) {
        strResolved = strBeside;
        return true;
    }
    return false;
}

std::wstring GetRevisionName(const WCHAR* pszFileName) {
    std::wstring strName = pszFileName;
    const auto dot = strName.rfind(L'.');
    if (dot != std::wstring::npos) {
        strName.resize(dot);
    }
    if (strName.size() > static_cast<size_t>(kRevisionChars)) {
        strName.resize(kRevisionChars);
    }
    return strName;
}
