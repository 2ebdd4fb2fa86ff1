// The first page after loading: picture, product title, welcome text and up to three
// links to the legal documents.
#pragma once

#include "framework/CMFCLinkCtrl.h"
#include "shell/CStaticFromImage.h"
#include "shell/IPage.h"

class WelcomePageIsv : public IPage {
public:
    WelcomePageIsv(std::shared_ptr<LanguageManager> languageManager, CWnd* parent);

    void OnNavigateToPage() override {}
    void SetButtonCallback(ButtonCallback callback) override { m_onButton = std::move(callback); }
    void SetErrorCallback(ErrorCallback callback) override { m_onError = std::move(callback); }
    void UpdateTexts() override;
    CString GetName() override { return L"WelcomePage"; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;

    CMFCLinkCtrl m_privacyLink;
    CMFCLinkCtrl m_termsLink;
    CMFCLinkCtrl m_licenseLink;
    CStaticFromImage m_picture;
    ButtonCallback m_onButton;
    ErrorCallback m_onError;
};
