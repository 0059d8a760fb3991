// Reading the image file into memory for either update path; the lines of the CSMI path carry
// "csmi " in front of the call name.
#include "DravHDDUpdateApp.h"

#include "ExitCodes.h"
#include "FirmwareImage.h"
#include "ImageBuffer.h"

#include <string>

namespace {

std::string ErrorText(const char* pszPrefix, const char* pszCall) {
    return std::string(pszPrefix) + pszCall;
}

} // namespace

std::wstring CDravHDDUpdateApp::FirmwareFilePath(const WCHAR* pszFirmwareFile) {
    // The name as given when it names a file, else beside the program without a further test.
    WCHAR szName[kPathChars + 1] = {};
    ::wcsncpy(szName, pszFirmwareFile, kPathChars);
    if (IsExistingFile(szName)) {
        return szName;
    }
    std::wstring strBeside;
    if (GetModuleFolderPath(szName, strBeside)) {
        return strBeside;
    }
    return szName;
}

bool CDravHDDUpdateApp::LoadFirmwareImage(const WCHAR* pszFirmwareFile, const char* pszPrefix,
                                          ImageBuffer& image) {
    const std::wstring strPath = FirmwareFilePath(pszFirmwareFile);
    HANDLE hFile = ::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        m_nExitCode = EXIT_OPEN_FAILED;
        WriteLog("### ERROR!! <%s> ###\n",
                 ErrorText(pszPrefix, "CreateFile() handle create error").c_str());
        WriteLog("chFirmwareFileName = ");
        WriteWideText(strPath.c_str());
        WriteLog("\n");
        WriteLog("ExitCode = %d\n", m_nExitCode);
        return false;
    }
    // The high part too, so a file of 4 GiB or more is never taken for a small one.
    DWORD dwSizeHigh = 0;
    ::SetLastError(NO_ERROR); // a low part of FFFFFFFFh is an error only with an error code
    const DWORD dwSizeLow = ::GetFileSize(hFile, &dwSizeHigh);
    const ULONGLONG ullSize = (static_cast<ULONGLONG>(dwSizeHigh) << 32) | dwSizeLow;
    if (dwSizeLow == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) {
        m_nExitCode = EXIT_IMAGE_UNREADABLE;
        WriteErrorWithExitCode(ErrorText(pszPrefix, "ReadFile() error").c_str());
        ::CloseHandle(hFile);
        return false;
    }
    if (ullSize == 0) {
        m_nExitCode = EXIT_IMAGE_EMPTY;
        WriteErrorWithExitCode(ErrorText(pszPrefix, "GetFileSize() error").c_str());
        ::CloseHandle(hFile);
        return false;
    }
    if (!FitsBlockOffsets(ullSize)) {
        m_nExitCode = EXIT_IMAGE_UNREADABLE;
        WriteErrorWithExitCode(ErrorText(pszPrefix, "Firmware file size error").c_str());
        ::CloseHandle(hFile);
        return false;
    }
    image.dwSize = static_cast<DWORD>(ullSize);
    image.bytes.assign((image.dwSize + kBlockSize - 1) / kBlockSize * kBlockSize, BYTE{0});
    DWORD dwRead = 0;
    const BOOL bRead = ::ReadFile(hFile, image.bytes.data(), image.dwSize, &dwRead, nullptr);
    ::CloseHandle(hFile);
    // A short read is a failure, never an image with a zero-filled tail.
    if (!bRead || dwRead != image.dwSize) {
        m_nExitCode = EXIT_IMAGE_UNREADABLE;
        WriteErrorWithExitCode(ErrorText(pszPrefix, "ReadFile() error").c_str());
        image.bytes.clear();
        return false;
    }
    return true;
}
