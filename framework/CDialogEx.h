// A dialog made from a template, modal (DoModal) or modeless (Create), that hands its
// messages to virtual handlers. It owns its window and may paint its background with
// a colour of its own.
#pragma once

#include "framework/CBrush.h"
#include "framework/CWnd.h"

class CDialogEx;

// Direction of a data exchange between a dialog's controls and its members.
class CDataExchange {
public:
    CDataExchange(CDialogEx* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CDialogEx* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

// Binds a member control to the dialog item with that id, once.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// A text member and an edit or static item.
void DDX_Text(CDataExchange* pDX, int id, CString& value);
// A check state member (BST_*) and a check box or radio button.
void DDX_Check(CDataExchange* pDX, int id, int& value);

class CDialogEx : public CWnd {
public:
    CDialogEx() = default;
    explicit CDialogEx(UINT templateId, CWnd* parent = nullptr) : m_templateId(templateId), m_parent(parent) {}
    ~CDialogEx() override;

    // Shows the dialog (with or without WS_VISIBLE in its template), disables its owner
    // and runs it until EndDialog; returns the value given to EndDialog, or -1 when the
    // window could not be made.
    virtual INT_PTR DoModal();
    // Makes a modeless dialog as a child or owned window of the parent.
    virtual BOOL Create(UINT templateId, CWnd* parent = nullptr);
    void EndDialog(int result);
    bool IsModalRunning() const noexcept { return m_modalRunning; }

    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    void SetBackgroundColor(COLORREF color, BOOL repaint = TRUE);
    bool HasBackgroundColor() const noexcept { return m_hasBackground; }
    COLORREF GetBackgroundColor() const noexcept { return m_background; }

    UINT GetTemplateId() const noexcept { return m_templateId; }

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual BOOL OnInitDialog();
    // A command from a control or menu; true when it was handled.
    virtual bool OnCommand(UINT id, UINT code, HWND control);
    // A notification from a control; true when handled, with the result in result.
    virtual bool OnNotify(const NMHDR* header, LRESULT* result);
    // WM_CTLCOLOR*: the brush to paint with, or null for the system's default.
    virtual HBRUSH OnCtlColor(HDC dc, CWnd* control, UINT kind);
    virtual void OnTimer(UINT_PTR id);
    // The program's own messages (WM_USER and above); true when handled, with the result in result.
    virtual bool OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // true when it painted; false leaves the painting to the system.
    virtual bool OnPaint();
    virtual bool OnSysCommand(UINT id, LPARAM lParam);
    virtual HCURSOR OnQueryDragIcon();
    virtual void OnClose();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnDestroy();

    // Every message before the handlers above see it; true when it was handled.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

    CBrush m_backgroundBrush;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    HBRUSH DefaultCtlColor(HDC dc, UINT kind);
    HWND MakeWindow(HWND parent);
    static bool PreTranslate(MSG& msg);

    UINT m_templateId = 0;
    CWnd* m_parent = nullptr;
    COLORREF m_background = 0;
    bool m_hasBackground = false;
    bool m_modalRunning = false;
    bool m_modalEnded = false;
    INT_PTR m_modalResult = 0;
    bool m_controlsBound = false;
};
