// The installer type's download page: everything goes into the working folder, the
// product's installer runs, then the offers' installers; the page moves on by itself.
#pragma once

#include "install/DownloadProgress.h"
#include "shell/CStaticFromImage.h"
#include "shell/IPage.h"

class DownloadPageIsv : public IPage {
public:
    DownloadPageIsv(std::shared_ptr<LanguageManager> languageManager, CWnd* parent);

    void OnNavigateToPage() override;
    void SetButtonCallback(ButtonCallback callback) override { m_onButton = std::move(callback); }
    void SetErrorCallback(ErrorCallback callback) override { m_onError = std::move(callback); }
    CString GetName() override { return L"DownloadPageISV"; }

    // Installers started by this page are running, and have all ended (set by the frame).
    std::function<void()> onInstallBusy;
    std::function<void()> onInstallIdle;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    ButtonCallback m_onButton;
    ErrorCallback m_onError;
    CProgressCtrl m_progress;
    DownloadProgress m_progressState{m_progress};
    CStaticFromImage m_image;
};
