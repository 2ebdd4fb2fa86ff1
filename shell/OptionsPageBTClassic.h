// The options page of the classic mode: three check boxes whose states go into the
// configuration's option flags on Next.
#pragma once

#include "framework/CButton.h"
#include "framework/CFont.h"
#include "shell/IPage.h"

class OptionsPageBTClassic : public IPage {
public:
    OptionsPageBTClassic(std::shared_ptr<LanguageManager> languageManager, CWnd* parent);

    void OnNavigateToPage() override {}
    void SetButtonCallback(ButtonCallback callback) override { m_onButton = std::move(callback); }
    void SetErrorCallback(ErrorCallback callback) override { m_onError = std::move(callback); }
    CString GetName() override { return L"OptionsPageBTClassic"; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;

    CButton m_options[3];
    CFont m_titleFont;
    ButtonCallback m_onButton;
    ErrorCallback m_onError;
};
