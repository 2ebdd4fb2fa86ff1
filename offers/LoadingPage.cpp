#include "offers/LoadingPage.h"

#include "res/resource.h"
#include "shell/WindowMessages.h"

LoadingPage::LoadingPage(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : IPage(std::move(languageManager), IDD_LOADING_PAGE, parent)
{
}

void LoadingPage::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
}

BOOL LoadingPage::OnInitDialog()
{
    IPage::OnInitDialog();
    UpdateTexts();
    return TRUE;
}

void LoadingPage::OnNavigateToPage()
{
    // The configuration request and the offer checks start here (loading task).
}

bool LoadingPage::OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message != WM_REQUEST_COMPLETE)
        return false;
    *result = OnRequestComplete(wParam, lParam);
    return true;
}

LRESULT LoadingPage::OnRequestComplete(WPARAM, LPARAM)
{
    return 0;
}
