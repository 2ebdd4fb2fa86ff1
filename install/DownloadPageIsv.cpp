#include "install/DownloadPageIsv.h"

#include "config/ConfigurationManager.h"
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

void DownloadPageIsv::OnNavigateToPage()
{
    // Downloading starts here (download and launch tasks polled by the page's timers).
}

bool DownloadPageIsv::OnUserMessage(UINT message, WPARAM wParam, LPARAM, LRESULT* result)
{
    return m_progressState.HandleMessage(message, wParam, result);
}
