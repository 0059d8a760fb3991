// Windows helper, run under Wine beside Marlisk: finds the progress dialog by its caption
// and checks what it shows. Arguments: model, current revision, new revision, the bar's
// top, and optionally a .bmp file for a picture of the dialog once the bar has moved.
// Prints one line per check; exit code 0 when all hold, 1 when one fails, 2 when the
// dialog never shows.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kWaitForDialogMs = 120000;
constexpr DWORD kWaitForPositionMs = 60000;
constexpr UINT kAnswerTimeoutMs = 2000;

int g_failures = 0;

void Check(bool bHolds, const std::wstring& strWhat) {
    std::wprintf(L"%ls: %ls\n", bHolds ? L"ok" : L"FAILED", strWhat.c_str());
    if (!bHolds) {
        ++g_failures;
    }
}

std::wstring TextOf(HWND hDialog, int nId) {
    wchar_t szText[256] = {};
    ::GetWindowTextW(::GetDlgItem(hDialog, nId), szText, 256);
    return szText;
}

void CheckText(HWND hDialog, int nId, const std::wstring& strExpected) {
    const std::wstring strText = TextOf(hDialog, nId);
    Check(strText == strExpected, L"control " + std::to_wstring(nId) + L" reads \"" + strText +
                                      L"\", expected \"" + strExpected + L"\"");
}

// The bar answers only while its thread looks at its queue: ask with a time limit.
bool Ask(HWND hBar, UINT uMessage, WPARAM wParam, LRESULT& result) {
    DWORD_PTR answer = 0;
    if (::SendMessageTimeoutW(hBar, uMessage, wParam, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                              &answer) == 0) {
        return false;
    }
    result = static_cast<LRESULT>(answer);
    return true;
}

bool SaveBitmap(HWND hDialog, const wchar_t* pszPath) {
    RECT rect{};
    ::GetWindowRect(hDialog, &rect);
    const int nWidth = rect.right - rect.left;
    const int nHeight = rect.bottom - rect.top;
    HDC hScreen = ::GetDC(nullptr);
    HDC hMemory = ::CreateCompatibleDC(hScreen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = nWidth;
    info.bmiHeader.biHeight = nHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    HBITMAP hBitmap = ::CreateDIBSection(hScreen, &info, DIB_RGB_COLORS, &pBits, nullptr, 0);
    HGDIOBJ hOld = ::SelectObject(hMemory, hBitmap);
    ::BitBlt(hMemory, 0, 0, nWidth, nHeight, hScreen, rect.left, rect.top, SRCCOPY);
    ::GdiFlush();
    const DWORD dwStride = (static_cast<DWORD>(nWidth) * 3 + 3) & ~3u;
    const DWORD dwImage = dwStride * static_cast<DWORD>(nHeight);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + dwImage;
    bool bSaved = false;
    if (FILE* out = _wfopen(pszPath, L"wb")) {
        bSaved = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                 std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                 std::fwrite(pBits, 1, dwImage, out) == dwImage;
        bSaved = std::fclose(out) == 0 && bSaved;
    }
    ::SelectObject(hMemory, hOld);
    ::DeleteObject(hBitmap);
    ::DeleteDC(hMemory);
    ::ReleaseDC(nullptr, hScreen);
    return bSaved;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) {
        std::wprintf(L"usage: marlisk_window_check model current new top [picture.bmp]\n");
        return 2;
    }
    const std::wstring strModel = argv[1];
    const std::wstring strCurrent = argv[2];
    const std::wstring strNew = argv[3];
    const long nTop = std::wcstol(argv[4], nullptr, 10);

    HWND hDialog = nullptr;
    for (DWORD dwWaited = 0; hDialog == nullptr && dwWaited < kWaitForDialogMs; dwWaited += 50) {
        hDialog = ::FindWindowW(nullptr, L"Updating Firmware");
        if (hDialog == nullptr) {
            ::Sleep(50);
        }
    }
    if (hDialog == nullptr) {
        std::wprintf(L"FAILED: no window \"Updating Firmware\"\n");
        return 2;
    }
    wchar_t szClass[64] = {};
    ::GetClassNameW(hDialog, szClass, 64);
    Check(std::wstring(szClass) == L"#32770",
          L"the window is a dialog (" + std::wstring(szClass) + L")");
    // Made hidden, then shown: give it a moment.
    for (int i = 0; i < 20 && !::IsWindowVisible(hDialog); ++i) {
        ::Sleep(50);
    }
    Check(::IsWindowVisible(hDialog) != FALSE, L"the dialog is visible");

    CheckText(hDialog, 1008, L"Model:");
    CheckText(hDialog, 1009, L"Current FW Version:");
    CheckText(hDialog, 1010, L"New FW Version:");
    CheckText(hDialog, 1011, L"<" + strModel + L">");
    CheckText(hDialog, 1012, L"<" + strCurrent + L">");
    CheckText(hDialog, 1013, L"<" + strNew + L">");

    HWND hBar = ::GetDlgItem(hDialog, 1014);
    wchar_t szBarClass[64] = {};
    ::GetClassNameW(hBar, szBarClass, 64);
    Check(std::wstring(szBarClass) == PROGRESS_CLASSW,
          L"control 1014 is a progress bar (" + std::wstring(szBarClass) + L")");
    LRESULT low = -1;
    LRESULT high = -1;
    const bool bRange = Ask(hBar, PBM_GETRANGE, TRUE, low) && Ask(hBar, PBM_GETRANGE, FALSE, high);
    Check(bRange && low == 0 && high == nTop, L"the bar's range is " + std::to_wstring(low) +
                                                  L".." + std::to_wstring(high) +
                                                  L", expected 0.." + std::to_wstring(nTop));

    // A position of the transfer: past the start, not beyond the top.
    LRESULT position = 0;
    for (DWORD dwWaited = 0; dwWaited < kWaitForPositionMs && position == 0; dwWaited += 100) {
        if (!Ask(hBar, PBM_GETPOS, 0, position) || position == 0) {
            ::Sleep(100);
        }
    }
    Check(position > 0 && position <= nTop,
          L"the bar moved to " + std::to_wstring(position) + L" of " + std::to_wstring(nTop));

    if (argc > 5) {
        ::Sleep(300); // the new position painted
        Check(SaveBitmap(hDialog, argv[5]), L"picture saved to " + std::wstring(argv[5]));
    }
    std::wprintf(L"%d checks failed\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}
