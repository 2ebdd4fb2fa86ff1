// The download type's download page: the product goes into the Downloads folder and the
// accepted offers into the working folder; the page moves on by itself when done.
#pragma once

#include "install/DownloadProgress.h"
#include "shell/CStaticFromImage.h"
#include "shell/IPage.h"

class DownloadPageDlm : public IPage {
public:
    DownloadPageDlm(std::shared_ptr<LanguageManager> languageManager, CWnd* parent);

    void OnNavigateToPage() override;
    void SetButtonCallback(ButtonCallback callback) override { m_onButton = std::move(callback); }
    void SetErrorCallback(ErrorCallback callback) override { m_onError = std::move(callback); }
    CString GetName() override { return L"DownloadPageDLM"; }

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
