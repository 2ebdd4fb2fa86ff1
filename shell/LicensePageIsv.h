// The licence page of the classic flow: the licence text, a text with two links, and
// Agree and Back.
#pragma once

#include "framework/CFont.h"
#include "framework/CLinkCtrl.h"
#include "framework/CRichEditCtrl.h"
#include "shell/IPage.h"

class LicensePageIsv : public IPage {
public:
    LicensePageIsv(std::shared_ptr<LanguageManager> languageManager, CWnd* parent);

    // The licence box takes the focus when the page shows; its text starts unselected.
    void OnNavigateToPage() override
    {
        if (m_licence.GetSafeHwnd())
            ::SendMessageW(m_licence.GetSafeHwnd(), EM_SETSEL, 0, 0);
    }
    void SetButtonCallback(ButtonCallback callback) override { m_onButton = std::move(callback); }
    void SetErrorCallback(ErrorCallback callback) override { m_onError = std::move(callback); }
    CString GetName() override { return L"LicensePage"; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnNotify(const NMHDR* header, LRESULT* result) override;
    HBRUSH OnCtlColor(HDC dc, CWnd* control, UINT kind) override;

    CRichEditCtrl m_licence;
    CLinkCtrl m_links;
    CBrush m_backgroundBrush2;
    CFont m_titleFont;
    ButtonCallback m_onButton;
    ErrorCallback m_onError;
};
