#include "install/FinishPageIsv.h"

#include "config/ConfigurationManager.h"
#include "install/FrameStyle.h"
#include "install/ProgramLauncher.h"
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
    RemoveMinimizeBox(::GetParent(m_hWnd));
}

void FinishPageIsv::OnFinish()
{
    if (m_launchCheck.GetCheck() == BST_CHECKED) {
        auto configuration = ConfigurationManager::GetInstance();
        const CString path =
            ExpandFolderPlaceholders(configuration->finishLaunchPath, configuration->GetFolderPlaceholders());
        if (!path.IsEmpty())
            OpenWithAssociatedProgram(path, configuration->finishLaunchArguments);
    }
    if (m_onButton)
        m_onButton(ButtonType::Finish);
}

bool FinishPageIsv::OnCommand(UINT id, UINT code, HWND control)
{
    if (id == IDC_FINISH && code == BN_CLICKED) {
        OnFinish();
        return true;
    }
    return IPage::OnCommand(id, code, control);
}
