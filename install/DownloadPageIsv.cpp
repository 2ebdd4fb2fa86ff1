#include "install/DownloadPageIsv.h"

#include "config/ConfigurationManager.h"
#include "install/DownloadManager.h"
#include "install/DownloadTarget.h"
#include "install/PackageOutcome.h"
#include "locale/LanguageManager.h"
#include "offers/Package.h"
#include "res/resource.h"

DownloadPageIsv::DownloadPageIsv(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : IPage(std::move(languageManager), IDD_DOWNLOAD_PAGE_ISV, parent)
{
}

void DownloadPageIsv::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_PAGE_PICTURE, m_image);
}

BOOL DownloadPageIsv::OnInitDialog()
{
    IPage::OnInitDialog();
    AddLocalizedControl("PROGRESS_TITLE", IDC_PROGRESS_TITLE);
    AddLocalizedControl("PROGRESS_DESC", IDC_PROGRESS_DESC);
    UpdateTexts();
    m_image.LoadImage(IDB_PICTURE_WELCOME, L"IMAGE_BLOB");
    return TRUE;
}

CString DownloadPageIsv::ClassicInstallerArguments(const std::array<bool, 8>& options)
{
    // o1 .. o8 are the option boxes in the configuration's order; o6 is read twice.
    auto o = [&options](int number) { return options[static_cast<size_t>(number - 1)] ? L"1" : L"0"; };
    CString arguments = L"/S /FORCEINSTALL ";
    for (const wchar_t* part : {o(6), o(7), o(4), L"0", L"0", o(5), L"0", L"1", L"0", L"1", o(8), o(6), o(2), o(3),
                                o(1), L"0"})
        arguments += part;
    return arguments;
}

void DownloadPageIsv::OnNavigateToPage()
{
    // The page runs its work once, however often it is reached.
    if (m_started)
        return;
    m_started = true;
    auto configuration = ConfigurationManager::GetInstance();
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

void DownloadPageIsv::StartNextDownload()
{
    auto configuration = ConfigurationManager::GetInstance();
    if (configuration->closing || m_downloadQueue.empty())
        return;
    const auto& package = m_downloadQueue.front();
    CString value = package->m_isMain ? configuration->productUrl : CString(package->m_downloadUrl.c_str());
    // Everything goes into the working folder under the last segment of its address.
    m_downloadFuture = StartDownloadTask(DownloadUrlFor(value), m_hWnd, CString(), true,
                                         package->m_isMain ? configuration->productSha256 : package->m_sha256);
    SetTimer(DownloadTimer, 100);
}

void DownloadPageIsv::OnTimer(UINT_PTR id)
{
    if (id == DownloadTimer || id == InstallerTimer) {
        // Once the user has quit, nothing more is reported or started.
        if (ConfigurationManager::GetInstance()->closing)
            KillTimer(id);
        else if (id == DownloadTimer)
            OnDownloadTimer();
        else
            OnInstallerTimer();
    }
    IPage::OnTimer(id);
}

void DownloadPageIsv::OnDownloadTimer()
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

    if (result.first) {
        const CString downloaded = DownloadManager::GetInstance()->m_lastFilePath;
        if (package->m_isMain)
            configuration->downloadedFilePath = downloaded;
        m_installQueue.emplace_back(package, downloaded);
    } else {
        ReportOutcome(package, FailureEventKind(*package), FailureData("DOWNLOAD FAILED: ", result.second));
        if (package->m_isMain)
            m_mainFailed = true;
    }

    if (!m_downloadQueue.empty()) {
        StartNextDownload();
        return;
    }
    if (onInstallBusy)
        onInstallBusy();
    m_progressState.ShowBusy();
    InstallNext();
}

void DownloadPageIsv::InstallNext()
{
    auto configuration = ConfigurationManager::GetInstance();
    if (configuration->closing)
        return;
    if (m_installQueue.empty()) {
        // Every installer has been started (or none could be): the installers are no
        // longer this page's business.
        if (onInstallIdle)
            onInstallIdle();
        CompleteWork();
        return;
    }
    const auto& entry = m_installQueue.front();
    const std::shared_ptr<Package>& package = entry.first;
    CString arguments;
    if (package->m_isMain)
        arguments = configuration->btClassicMode ? ClassicInstallerArguments(configuration->optionFlags)
                                                 : configuration->installerArguments;
    else
        arguments = CString(package->m_installArguments.c_str());
    // One installer at a time, unpacked and started on the installer task while the
    // window goes on answering; the product's installer is waited for before any offer
    // starts, the offers' are not. In this type the download folder is the working folder.
    m_launchFuture = StartInstallerTask(entry.second, configuration->downloadFolder, arguments, package->m_isMain);
    SetTimer(InstallerTimer, 100);
}

void DownloadPageIsv::OnInstallerTimer()
{
    if (!m_launchFuture.valid() || m_installQueue.empty()) {
        KillTimer(InstallerTimer);
        return;
    }
    if (m_launchFuture.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    KillTimer(InstallerTimer);
    std::shared_ptr<Package> package = m_installQueue.front().first;
    m_installQueue.pop_front();
    const InstallerRun run = m_launchFuture.get();

    if (!package->m_isMain) {
        ReportOutcome(package, 3, nullptr);
    } else {
        if (onInstallIdle)
            onInstallIdle();
        if (run.code != 0) {
            ReportOutcome(package, FailureEventKind(*package), FailureData("EXEC FAILED: ", run.message));
            m_mainFailed = true;
        } else {
            ConfigurationManager::GetInstance()->downloadedFilePath = run.path;
            ReportOutcome(package, 3, nullptr);
        }
    }
    InstallNext();
}

void DownloadPageIsv::CompleteWork()
{
    if (m_mainFailed && m_onError)
        ShowDownloadError();
    else if (m_onButton)
        m_onButton(ButtonType::Next);
}

void DownloadPageIsv::ShowDownloadError()
{
    if (m_onError)
        m_onError(m_languageManager->GetText("PAGE_ERROR_TITLE"), m_languageManager->GetText("PAGE_ERROR_TEXT"));
}

bool DownloadPageIsv::OnUserMessage(UINT message, WPARAM wParam, LPARAM, LRESULT* result)
{
    return m_progressState.HandleMessage(message, wParam, result);
}
