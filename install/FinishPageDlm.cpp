#include "install/FinishPageDlm.h"

#include "res/resource.h"

namespace {

const int FinishId = 1028;

} // namespace

FinishPageDlm::FinishPageDlm(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : IPage(std::move(languageManager), IDD_FINISH_PAGE_DLM, parent)
{
}

void FinishPageDlm::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, 1031, m_launchRadio);
    DDX_Control(pDX, 1034, m_openFolderRadio);
    DDX_Control(pDX, 1016, m_image);
}

BOOL FinishPageDlm::OnInitDialog()
{
    IPage::OnInitDialog();
    AddLocalizedControl("PAGE_FINISH_TITLE", 1030);
    AddLocalizedControl("PAGE_FINISH_TEXT", 1033);
    AddLocalizedControl("BUTTON_FINISH", FinishId);
    AddLocalizedControl("LAUNCH_RADIO", 1031);
    AddLocalizedControl("OPEN_FOLDER_RADIO", 1034);
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
    if (id == FinishId && code == BN_CLICKED) {
        // Launching the file or opening its folder happens before the frame ends.
        if (m_onButton)
            m_onButton(ButtonType::Finish);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}
