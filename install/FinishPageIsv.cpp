#include "install/FinishPageIsv.h"

#include "res/resource.h"

FinishPageIsv::FinishPageIsv(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : IPage(std::move(languageManager), IDD_FINISH_PAGE_ISV, parent)
{
}

void FinishPageIsv::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LAUNCH_CHECKBOX, m_launchCheck);
    DDX_Control(pDX, IDC_PAGE_PICTURE, m_image);
}

BOOL FinishPageIsv::OnInitDialog()
{
    IPage::OnInitDialog();
    AddLocalizedControl("PAGE_FINISH_TITLE", IDC_FINISH_TITLE);
    AddLocalizedControl("PAGE_FINISH_TEXT", IDC_FINISH_TEXT);
    AddLocalizedControl("BUTTON_FINISH", IDC_FINISH);
    AddLocalizedControl("LAUNCH_CHECKBOX", IDC_LAUNCH_CHECKBOX);
    UpdateTexts();
    m_launchCheck.SetCheck(BST_CHECKED);
    m_image.LoadImage(IDB_PICTURE_FINISH, L"IMAGE_BLOB2");
    return TRUE;
}

void FinishPageIsv::OnNavigateToPage()
{
    // The page's own start (the installed product's launch path) belongs here.
}

bool FinishPageIsv::OnCommand(UINT id, UINT code, HWND control)
{
    if (id == IDC_FINISH && code == BN_CLICKED) {
        // Launching the installed product happens before the frame ends.
        if (m_onButton)
            m_onButton(ButtonType::Finish);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}
