// The warning page of the classic mode, shown before the licence page.
#pragma once

#include "framework/CFont.h"
#include "framework/CLinkCtrl.h"
#include "shell/IPage.h"

class WarningPageBTClassic : public IPage {
public:
    WarningPageBTClassic(std::shared_ptr<LanguageManager> languageManager, CWnd* parent);

    void OnNavigateToPage() override {}
    void SetButtonCallback(ButtonCallback callback) override { m_onButton = std::move(callback); }
    void SetErrorCallback(ErrorCallback callback) override { m_onError = std::move(callback); }
    CString GetName() override { return L"WarningPageBTClassic"; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    HBRUSH OnCtlColor(HDC dc, CWnd* control, UINT kind) override;

    CLinkCtrl m_text;
    CBrush m_textBrush;
    CFont m_titleFont;
    ButtonCallback m_onButton;
    ErrorCallback m_onError;
};
