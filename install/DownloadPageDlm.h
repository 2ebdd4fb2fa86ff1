// The download type's download page: the product goes into the Downloads folder and the
// accepted offers into the working folder, one file at a time; then the offers'
// installers start without waiting and the page moves on by itself.
#pragma once

#include "install/DownloadProgress.h"
#include "install/PackageOutcome.h"
#include "shell/CStaticFromImage.h"
#include "shell/IPage.h"

#include <deque>
#include <future>
#include <memory>
#include <utility>

class Package;

class DownloadPageDlm : public IPage {
public:
    DownloadPageDlm(std::shared_ptr<LanguageManager> languageManager, CWnd* parent);

    void OnNavigateToPage() override;
    void SetButtonCallback(ButtonCallback callback) override { m_onButton = std::move(callback); }
    void SetErrorCallback(ErrorCallback callback) override { m_onError = std::move(callback); }
    CString GetName() override { return L"DownloadPageDLM"; }

    static constexpr UINT_PTR DownloadTimer = 4096;
    static constexpr UINT_PTR LaunchTimer = 4098;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR id) override;
    bool OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void StartNextDownload();
    void OnDownloadTimer();
    void LaunchNextOffer();
    void OnLaunchTimer();
    void CompleteWork();
    void ShowDownloadError();

    ButtonCallback m_onButton;
    ErrorCallback m_onError;
    CProgressCtrl m_progress;
    DownloadProgress m_progressState{m_progress};
    std::future<std::pair<bool, CString>> m_downloadFuture;
    std::future<InstallerRun> m_launchFuture;
    bool m_mainFailed = false;
    bool m_started = false;
    std::deque<std::shared_ptr<Package>> m_downloadQueue;
    std::deque<std::pair<std::shared_ptr<Package>, CString>> m_launchQueue;
    CStaticFromImage m_image;
};
