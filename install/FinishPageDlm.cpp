#include "install/FinishPageDlm.h"

#include "res/resource.h"

FinishPageDlm::FinishPageDlm(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : IPage(std::move(languageManager), IDD_FINISH_PAGE_DLM, parent)
{
}

void FinishPageDlm::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LAUNCH_RADIO, m_launchRadio);
    DDX_Control(pDX, IDC_OPEN_FOLDER_RADIO, m_openFolderRadio);
    DDX_Control(pDX, IDC_PAGE_PICTURE, m_image);
}

BOOL FinishPageDlm::OnInitDialog()
{
    IPage::OnInitDialog();
    AddLocalizedControl("PAGE_FINISH_TITLE", IDC_FINISH_TITLE);
    AddLocalizedControl("PAGE_FINISH_TEXT", IDC_FINISH_TEXT);
    AddLocalizedControl("BUTTON_FINISH", IDC_FINISH);
    AddLocalizedControl("LAUNCH_RADIO", IDC_LAUNCH_RADIO);
    AddLocalizedControl("OPEN_FOLDER_RADIO", IDC_OPEN_FOLDER_RADIO);
    UpdateTexts();
    m_launchRadio.SetCheck(BST_CHECKED);
    m_image.LoadImage(IDB_PICTURE_FINISH, L"IMAGE_BLOB2");
    return TRUE;
}

void FinishPageDlm::OnNavigateToPage()
{
    // The page's own start (what the downloaded file offers) belongs here.
}

bool FinishPageDlm::OnCommand(UINT id, UINT code, HWND control)
{
    if (id == IDC_FINISH && code == BN_CLICKED) {
        // Launching the file or opening its folder happens before the frame ends.
        if (m_onButton)
            m_onButton(ButtonType::Finish);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}
