#include "install/DownloadPageDlm.h"

#include "config/ConfigurationManager.h"
#include "install/DownloadManager.h"
#include "install/DownloadTarget.h"
#include "install/PackageOutcome.h"
#include "locale/LanguageManager.h"
#include "offers/Package.h"
#include "res/resource.h"

DownloadPageDlm::DownloadPageDlm(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : IPage(std::move(languageManager), IDD_DOWNLOAD_PAGE_DLM, parent)
{
}

void DownloadPageDlm::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_PAGE_PICTURE, m_image);
}

BOOL DownloadPageDlm::OnInitDialog()
{
    IPage::OnInitDialog();
    AddLocalizedControl("PROGRESS_TITLE", IDC_PROGRESS_TITLE);
    AddLocalizedControl("PROGRESS_DESC", IDC_PROGRESS_DESC);
    UpdateTexts();
    m_image.SetImage(ConfigurationManager::GetInstance()->productImage);
    return TRUE;
}

void DownloadPageDlm::OnNavigateToPage()
{
    auto configuration = ConfigurationManager::GetInstance();
    // The page runs its work once, however often it is reached.
    if (m_started)
        return;
    m_started = true;
    if (configuration->mainPackage)
        m_downloadQueue.push_back(configuration->mainPackage);
    for (const auto& package : configuration->acceptedPackages)
        if (package)
            m_downloadQueue.push_back(package);
    if (m_downloadQueue.empty())
        CompleteWork();
    else
        StartNextDownload();
}

void DownloadPageDlm::StartNextDownload()
{
    auto configuration = ConfigurationManager::GetInstance();
    if (configuration->closing || m_downloadQueue.empty())
        return;
    const auto& package = m_downloadQueue.front();
    if (package->m_isMain) {
        // The product's address is used as configured, into the Downloads folder.
        m_downloadFuture = StartDownloadTask(configuration->productUrl, m_hWnd, configuration->productFileName, false,
                                             configuration->productSha256);
    } else {
        CString url = DownloadUrlFor(CString(package->m_downloadUrl.c_str()));
        m_downloadFuture = StartDownloadTask(url, m_hWnd, CString(), true, package->m_sha256);
    }
    SetTimer(DownloadTimer, 100);
}

void DownloadPageDlm::OnTimer(UINT_PTR id)
{
    if (id == DownloadTimer || id == LaunchTimer) {
        // Once the user has quit, nothing more is reported or started.
        if (ConfigurationManager::GetInstance()->closing)
            KillTimer(id);
        else if (id == DownloadTimer)
            OnDownloadTimer();
        else
            OnLaunchTimer();
    }
    IPage::OnTimer(id);
}

void DownloadPageDlm::OnDownloadTimer()
{
    if (!m_downloadFuture.valid() || m_downloadQueue.empty()) {
        KillTimer(DownloadTimer);
        return;
    }
    if (m_downloadFuture.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    KillTimer(DownloadTimer);
    auto configuration = ConfigurationManager::GetInstance();
    std::shared_ptr<Package> package = m_downloadQueue.front();
    m_downloadQueue.pop_front();
    const auto result = m_downloadFuture.get();
    const CString downloaded = DownloadManager::GetInstance()->m_lastFilePath;

    if (result.first) {
        if (package->m_isMain) {
            configuration->downloadedFilePath = downloaded;
            ReportOutcome(package, 3, nullptr);
        } else {
            m_launchQueue.emplace_back(package, downloaded);
        }
    } else {
        ReportOutcome(package, FailureEventKind(*package), FailureData("DOWNLOAD FAILED: ", result.second));
        if (package->m_isMain)
            m_mainFailed = true;
    }

    if (!m_downloadQueue.empty())
        StartNextDownload();
    else if (!m_launchQueue.empty())
        LaunchNextOffer();
    else
        CompleteWork();
}

void DownloadPageDlm::LaunchNextOffer()
{
    auto configuration = ConfigurationManager::GetInstance();
    if (configuration->closing)
        return;
    if (m_launchQueue.empty()) {
        CompleteWork();
        return;
    }
    // The offers start one after the other, none of them waited for; each is unpacked
    // and started on the installer task while the window goes on answering.
    const auto& entry = m_launchQueue.front();
    const std::shared_ptr<Package>& package = entry.first;
    CString arguments = package->m_isMain ? configuration->installerArguments
                                          : CString(package->m_installArguments.c_str());
    m_launchFuture = StartInstallerTask(entry.second, configuration->workingFolder, arguments, package->m_isMain);
    SetTimer(LaunchTimer, 100);
}

void DownloadPageDlm::OnLaunchTimer()
{
    if (!m_launchFuture.valid() || m_launchQueue.empty()) {
        KillTimer(LaunchTimer);
        return;
    }
    if (m_launchFuture.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    KillTimer(LaunchTimer);
    m_launchFuture.get();
    std::shared_ptr<Package> package = m_launchQueue.front().first;
    m_launchQueue.pop_front();
    ReportOutcome(package, 3, nullptr);
    LaunchNextOffer();
}

void DownloadPageDlm::CompleteWork()
{
    if (m_mainFailed && m_onError)
        ShowDownloadError();
    else if (m_onButton)
        m_onButton(ButtonType::Next);
}

void DownloadPageDlm::ShowDownloadError()
{
    if (m_onError)
        m_onError(m_languageManager->GetText("PAGE_DOWNLOAD_ERROR_TITLE"),
                  m_languageManager->GetText("PAGE_DOWNLOAD_ERROR_DESC"));
}

bool DownloadPageDlm::OnUserMessage(UINT message, WPARAM wParam, LPARAM, LRESULT* result)
{
    return m_progressState.HandleMessage(message, wParam, result);
}
