#include "UpdateProgress.h"

#include "resource.h"

#include <commctrl.h>

namespace {

CString Framed(const CString& strText) {
    return CString(L"<") + strText + CString(L">");
}

} // namespace

UpdateProgress::UpdateProgress(const WCHAR* pszModel, const WCHAR* pszCurrentVersion,
                               const WCHAR* pszNewVersion, int nRangeTop)
    : CDialog(IDD_UPDATE_PROGRESS), m_strModel(pszModel), m_strCurrentVersion(pszCurrentVersion),
      m_strNewVersion(pszNewVersion), m_nRangeTop(nRangeTop) {}

void UpdateProgress::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_MODEL_LABEL, m_stcModelLabel);
    DDX_Control(pDX, IDC_CURRENT_VERSION_LABEL, m_stcCurrentVersionLabel);
    DDX_Control(pDX, IDC_NEW_VERSION_LABEL, m_stcNewVersionLabel);
    DDX_Control(pDX, IDC_MODEL_VALUE, m_stcModel);
    DDX_Control(pDX, IDC_CURRENT_VERSION_VALUE, m_stcCurrentVersion);
    DDX_Control(pDX, IDC_NEW_VERSION_VALUE, m_stcNewVersion);
    DDX_Control(pDX, IDC_PROGRESS, m_ctrlProgress);
}

BOOL UpdateProgress::OnInitDialog() {
    CDialog::OnInitDialog();
    // The window is English in every language setting.
    m_stcModelLabel.SetWindowText(L"Model:");
    m_stcCurrentVersionLabel.SetWindowText(L"Current FW Version:");
    m_stcNewVersionLabel.SetWindowText(L"New FW Version:");
    m_stcModel.SetWindowText(Framed(m_strModel));
    m_stcCurrentVersion.SetWindowText(Framed(m_strCurrentVersion));
    m_stcNewVersion.SetWindowText(Framed(m_strNewVersion));
    m_ctrlProgress.SendMessage(PBM_SETRANGE32, 0, static_cast<LPARAM>(m_nRangeTop));
    return TRUE;
}

void UpdateProgress::SetProgressPos(int nPos) {
    ::SendMessageW(m_ctrlProgress.m_hWnd, PBM_SETPOS, static_cast<WPARAM>(nPos), 0);
    // The transfer runs without a message loop: paint the bar now rather than never.
    ::UpdateWindow(m_ctrlProgress.m_hWnd);
}

UpdateProgress* ShowUpdateProgress(const WCHAR* pszModel, const WCHAR* pszCurrentVersion,
                                   const WCHAR* pszNewVersion, int nRangeTop) {
    auto* pProgress = new UpdateProgress(pszModel, pszCurrentVersion, pszNewVersion, nRangeTop);
    pProgress->Create(IDD_UPDATE_PROGRESS, nullptr);
    pProgress->ShowWindow(SW_SHOW);
    ::UpdateWindow(pProgress->m_hWnd);
    pProgress->SetProgressPos(0);
    return pProgress;
}

void CloseUpdateProgress(UpdateProgress* pProgress) {
    ::Sleep(1000);
    pProgress->ShowWindow(SW_HIDE);
    delete pProgress;
}
