// The progress window: which drive is updated, from which revision to which, and how far the
// transfer has come. A modeless dialog from template 129 without buttons.
#pragma once

#include <appframe/CString.h>
#include <appframe/Dialog.h>

class UpdateProgress : public CDialog {
public:
    UpdateProgress(const WCHAR* pszModel, const WCHAR* pszCurrentVersion,
                   const WCHAR* pszNewVersion, int nRangeTop);

    BOOL OnInitDialog() override;

    // Positions above the range top are clamped by the bar.
    void SetProgressPos(int nPos);

    CStatic m_stcModelLabel;
    CStatic m_stcCurrentVersionLabel;
    CStatic m_stcNewVersionLabel;
    CStatic m_stcModel;
    CStatic m_stcCurrentVersion;
    CStatic m_stcNewVersion;
    CProgressCtrl m_ctrlProgress;
    CString m_strModel;
    CString m_strCurrentVersion;
    CString m_strNewVersion;
    int m_nRangeTop;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};

// Makes the window as the update paths show it: created without a parent, shown, texts and
// range in place, position 0. Returns the object; delete it to remove the window.
UpdateProgress* ShowUpdateProgress(const WCHAR* pszModel, const WCHAR* pszCurrentVersion,
                                   const WCHAR* pszNewVersion, int nRangeTop);

// Waits a second so the full bar can be seen, hides the window and deletes it.
void CloseUpdateProgress(UpdateProgress* pProgress);
