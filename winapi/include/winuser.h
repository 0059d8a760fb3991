// Windows and dialogs: the subset that a modeless progress dialog needs. On the host the
// windows exist only as records in the machine's trace.
#ifndef FWU_WINAPI_WINUSER_H
#define FWU_WINAPI_WINUSER_H

#include <windef.h>

#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#ifdef UNICODE
#define MAKEINTRESOURCE MAKEINTRESOURCEW
#endif

#ifndef SW_SHOW
#define SW_SHOW 5
#endif
#define SW_HIDE 0
#define SW_SHOWNORMAL 1

#define WM_DESTROY 0x0002
#define WM_SETTEXT 0x000C
#define WM_CLOSE 0x0010
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_USER 0x0400

typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#ifdef __cplusplus
extern "C" {
#endif

// Creates the dialog of the template; the dialog procedure gets WM_INITDIALOG with lParam
// before the call returns, as on Windows.
HWND WINAPI CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam);
HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem);
int WINAPI GetDlgCtrlID(HWND hWnd);
BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString);
BOOL WINAPI SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString);
LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow);
BOOL WINAPI UpdateWindow(HWND hWnd);
BOOL WINAPI DestroyWindow(HWND hWnd);
BOOL WINAPI IsWindow(HWND hWnd);

#ifdef __cplusplus
}
#endif

#ifdef UNICODE
#define CreateDialogParam CreateDialogParamW
#define SetWindowText SetWindowTextW
#define SetDlgItemText SetDlgItemTextW
#define SendMessage SendMessageW
#endif

#endif
