// Windows, controls and the modeless dialog: a dialog is made from a template in the
// program's resources, binds its controls in DoDataExchange and fills them in OnInitDialog.
// Over Win32 on Windows; on the host over the stand-in, which records what the window is told.
#pragma once

#include <windows.h>

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    BOOL SetWindowText(LPCTSTR lpszString);
    BOOL ShowWindow(int nCmdShow);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    virtual BOOL DestroyWindow();

    HWND m_hWnd = nullptr;
};

class CStatic : public CWnd {};

class CProgressCtrl : public CWnd {
public:
    void SetRange32(int nLower, int nUpper);
    int SetPos(int nPos);
};

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
};

// Binds the control with id nIDC of the dialog to rControl.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

// A modeless dialog. Deleting the object destroys its window.
class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate);
    ~CDialog() override;

    // Makes the window from the template; OnInitDialog runs before this returns.
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    // Binds the controls (DoDataExchange); returns TRUE to let the system set the focus.
    virtual BOOL OnInitDialog();
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

protected:
    virtual void DoDataExchange(CDataExchange* pDX);

    UINT m_nIDTemplate;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};
