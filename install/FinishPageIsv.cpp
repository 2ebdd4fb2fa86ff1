#include "install/FinishPageIsv.h"

#include "res/resource.h"

namespace {

const int FinishId = 1028;

} // namespace

FinishPageIsv::FinishPageIsv(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : IPage(std::move(languageManager), IDD_FINISH_PAGE_ISV, parent)
{
}

void FinishPageIsv::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, 1044, m_launchCheck);
    DDX_Control(pDX, 1016, m_image);
}

BOOL FinishPageIsv::OnInitDialog()
{
    IPage::OnInitDialog();
    AddLocalizedControl("PAGE_FINISH_TITLE", 1030);
    AddLocalizedControl("PAGE_FINISH_TEXT", 1033);
    AddLocalizedControl("BUTTON_FINISH", FinishId);
    AddLocalizedControl("LAUNCH_CHECKBOX", 1044);
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
    if (id == FinishId && code == BN_CLICKED) {
        // Launching the installed product happens before the frame ends.
        if (m_onButton)
            m_onButton(ButtonType::Finish);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}
