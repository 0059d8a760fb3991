#include "FirmwareImage.h"

#include <cwchar>
#include <cwctype>

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

namespace {

// The full path a name stands for, short names expanded where the file or its folder exists,
// in upper case; empty when it cannot be made.
std::wstring ComparablePath(const WCHAR* pszName) {
    WCHAR szFull[kPathChars + 1] = {};
    WCHAR* pFilePart = nullptr;
    const DWORD dwFull = ::GetFullPathNameW(pszName, kPathChars + 1, szFull, &pFilePart);
    if (dwFull == 0 || dwFull > static_cast<DWORD>(kPathChars)) {
        return L"";
    }
    std::wstring strPath = szFull;
    WCHAR szLong[kPathChars + 1] = {};
    const DWORD dwLong = ::GetLongPathNameW(szFull, szLong, kPathChars + 1);
    if (dwLong != 0 && dwLong <= static_cast<DWORD>(kPathChars)) {
        strPath = szLong;
    } else if (pFilePart != nullptr && pFilePart != szFull) {
        // The file is not there (yet): its folder may still be named by a short name.
        const std::wstring strFolder(szFull, static_cast<size_t>(pFilePart - szFull));
        const DWORD dwFolder = ::GetLongPathNameW(strFolder.c_str(), szLong, kPathChars + 1);
        if (dwFolder != 0 && dwFolder <= static_cast<DWORD>(kPathChars)) {
            strPath = szLong;
            if (strPath.back() != L'\\') {
                strPath += L'\\';
            }
            strPath += pFilePart;
        }
    }
    for (auto& ch : strPath) {
        ch = static_cast<WCHAR>(std::towupper(static_cast<wint_t>(ch)));
    }
    return strPath;
}

// The volume serial number and file index of an existing file, asked through an open that can
// change nothing; false when the file cannot be opened or asked.
bool GetFileIdentity(const WCHAR* pszPath, DWORD dwAccess, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE hFile =
        ::CreateFileW(pszPath, dwAccess, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        return false;
    }
    const BOOL bGot = ::GetFileInformationByHandle(hFile, &info);
    ::CloseHandle(hFile);
    return bGot != FALSE;
}

} // namespace

bool IsSameFileAsImage(const WCHAR* pszImageName, const WCHAR* pszOtherName) {
    std::wstring strResolved;
    const bool bImageFound = ResolveFirmwareFile(pszImageName, strResolved);
    // Both there: a hard link or a linked folder reaches one file under names that differ, so
    // the files themselves are compared. The image is only read and the other file only asked.
    BY_HANDLE_FILE_INFORMATION image{};
    BY_HANDLE_FILE_INFORMATION other{};
    if (bImageFound && IsExistingFile(pszOtherName) &&
        GetFileIdentity(strResolved.c_str(), GENERIC_READ, image) &&
        GetFileIdentity(pszOtherName, FILE_READ_ATTRIBUTES, other)) {
        return image.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
               image.nFileIndexHigh == other.nFileIndexHigh &&
               image.nFileIndexLow == other.nFileIndexLow;
    }
    const std::wstring strOther = ComparablePath(pszOtherName);
    if (strOther.empty()) {
        return false;
    }
    if (ComparablePath(pszImageName) == strOther) {
        return true;
    }
    return bImageFound && ComparablePath(strResolved.c_str()) == strOther;
}
