// The page shown while the configuration is requested and the offers are checked;
// it hands the accepted offers to the frame when everything has arrived.
#pragma once

#include "framework/CProgressCtrl.h"
#include "shell/IPage.h"

class Package;

class LoadingPage : public IPage {
public:
    LoadingPage(std::shared_ptr<LanguageManager> languageManager, CWnd* parent);

    void OnNavigateToPage() override;
    void SetButtonCallback(ButtonCallback callback) override { m_onButton = std::move(callback); }
    void SetErrorCallback(ErrorCallback callback) override { m_onError = std::move(callback); }
    CString GetName() override { return L"LoadingPage"; }

    // Called with the accepted offers once loading is complete (set by the frame).
    std::function<void(std::vector<std::shared_ptr<Package>>)> onPackagesReady;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT OnRequestComplete(WPARAM wParam, LPARAM lParam);

    ButtonCallback m_onButton;
    ErrorCallback m_onError;
    CProgressCtrl m_progress;
};
