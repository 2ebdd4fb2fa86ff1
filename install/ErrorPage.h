// The page that covers the wizard when something failed: a picture, a title, a text
// and Close, which ends the wizard.
#pragma once

#include "shell/CStaticFromImage.h"
#include "shell/IPage.h"

class ErrorPage : public IPage {
public:
    ErrorPage(std::shared_ptr<LanguageManager> languageManager, CWnd* parent);

    void OnNavigateToPage() override {}
    void SetButtonCallback(ButtonCallback callback) override { m_onButton = std::move(callback); }
    // The error page reports no failures of its own.
    void SetErrorCallback(ErrorCallback) override {}
    CString GetName() override { return L"ErrorPage"; }

    // Keeps the texts and shows them (with the page's picture).
    void SetError(const CString& title, const CString& text);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;

    ButtonCallback m_onButton;
    CString m_title;
    CString m_text;
    CStaticFromImage m_image;
    bool m_imageLoaded = false;
};
