#include "appframe/Dialog.h"

#include "appframe/WinApp.h"

#include <commctrl.h>

BOOL CWnd::SetWindowText(LPCTSTR lpszString) {
    return ::SetWindowTextW(m_hWnd, lpszString);
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    return ::ShowWindow(m_hWnd, nCmdShow);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::DestroyWindow() {
    if (m_hWnd == nullptr) {
        return FALSE;
    }
    const BOOL bDone = ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
    return bDone;
}

void CProgressCtrl::SetRange32(int nLower, int nUpper) {
    SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(nLower), static_cast<LPARAM>(nUpper));
}

int CProgressCtrl::SetPos(int nPos) {
    return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(nPos), 0));
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd == nullptr && pDX->m_pDlgWnd != nullptr) {
        rControl.m_hWnd = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
    }
}

CDialog::CDialog(UINT nIDTemplate) : m_nIDTemplate(nIDTemplate) {}

CDialog::~CDialog() {
    // Deleting a modeless dialog object is how its window goes.
    if (m_hWnd != nullptr) {
        ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    m_nIDTemplate = nIDTemplate;
    CWinApp* pApp = AfxGetApp();
    HINSTANCE hInstance = pApp != nullptr && pApp->m_hInstance != nullptr
                              ? pApp->m_hInstance
                              : ::GetModuleHandleW(nullptr);
    // A numbered template travels in the low word of the name pointer.
    const auto* pszTemplate =
        reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(nIDTemplate)));
    HWND hWnd = ::CreateDialogParamW(hInstance, pszTemplate,
                                     pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (hWnd == nullptr) {
        return FALSE;
    }
    m_hWnd = hWnd;
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange* /*pDX*/) {}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM /*wParam*/, LPARAM lParam) {
    if (message != WM_INITDIALOG) {
        return FALSE;
    }
    auto* pDialog = reinterpret_cast<CDialog*>(lParam);
    pDialog->m_hWnd = hWnd;
    return pDialog->OnInitDialog();
}
