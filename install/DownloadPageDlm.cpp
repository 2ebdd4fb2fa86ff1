#include "install/DownloadPageDlm.h"

#include "config/ConfigurationManager.h"
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
    // Downloading starts here (download and launch tasks polled by the page's timers).
}

bool DownloadPageDlm::OnUserMessage(UINT message, WPARAM wParam, LPARAM, LRESULT* result)
{
    return m_progressState.HandleMessage(message, wParam, result);
}
