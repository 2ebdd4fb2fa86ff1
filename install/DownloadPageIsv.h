// The installer type's download page: everything goes into the working folder, one
// file at a time; then the product's installer runs and is waited for, the offers'
// installers start without waiting, and the page moves on by itself.
#pragma once

#include "install/DownloadProgress.h"
#include "install/PackageOutcome.h"
#include "shell/CStaticFromImage.h"
#include "shell/IPage.h"

#include <array>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <utility>

class Package;

class DownloadPageIsv : public IPage {
public:
    DownloadPageIsv(std::shared_ptr<LanguageManager> languageManager, CWnd* parent);

    void OnNavigateToPage() override;
    void SetButtonCallback(ButtonCallback callback) override { m_onButton = std::move(callback); }
    void SetErrorCallback(ErrorCallback callback) override { m_onError = std::move(callback); }
    CString GetName() override { return L"DownloadPageISV"; }

    // The main installer's arguments in the classic mode: "/S /FORCEINSTALL " and one
    // character per option box, in the order the installer reads them.
    static CString ClassicInstallerArguments(const std::array<bool, 8>& options);

    // Installers started by this page are running, and have all ended (set by the frame).
    std::function<void()> onInstallBusy;
    std::function<void()> onInstallIdle;

    static constexpr UINT_PTR DownloadTimer = 4096;
    static constexpr UINT_PTR InstallerTimer = 4098;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR id) override;
    bool OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void StartNextDownload();
    void OnDownloadTimer();
    void InstallNext();
    void OnInstallerTimer();
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
    std::deque<std::pair<std::shared_ptr<Package>, CString>> m_installQueue;
    CStaticFromImage m_image;
};
