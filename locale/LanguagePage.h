// The first page of a run: the user picks the wizard's language from a list; every
// live page takes the new texts at once.
#pragma once

#include "framework/CComboBox.h"
#include "shell/IPage.h"

class LanguagePage : public IPage {
public:
    LanguagePage(std::shared_ptr<LanguageManager> languageManager, CWnd* parent);

    void OnNavigateToPage() override {}
    void SetButtonCallback(ButtonCallback callback) override { m_onButton = std::move(callback); }
    void SetErrorCallback(ErrorCallback callback) override { m_onError = std::move(callback); }
    CString GetName() override { return L"LanguagePage"; }

protected:
    LanguagePage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, CWnd* parent);

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    virtual void RegisterTexts();
    void OnLanguageSelected();

    CComboBox m_languages;
    ButtonCallback m_onButton;
    ErrorCallback m_onError;
};
