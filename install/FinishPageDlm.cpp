#include "install/FinishPageDlm.h"

#include "config/ConfigurationManager.h"
#include "install/FrameStyle.h"
#include "install/ProgramLauncher.h"
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
    RemoveMinimizeBox(::GetParent(m_hWnd));
}

void FinishPageDlm::OnFinish()
{
    const CString path = ConfigurationManager::GetInstance()->downloadedFilePath;
    // Without a downloaded file there is nothing to open or show.
    if (!path.IsEmpty()) {
        if (m_launchRadio.GetCheck() == BST_CHECKED)
            OpenWithAssociatedProgram(path, CString());
        else if (m_openFolderRadio.GetCheck() == BST_CHECKED)
            ShowFileInExplorer(path);
    }
    if (m_onButton)
        m_onButton(ButtonType::Finish);
}

bool FinishPageDlm::OnCommand(UINT id, UINT code, HWND control)
{
    if (id == IDC_FINISH && code == BN_CLICKED) {
        OnFinish();
        return true;
    }
    return IPage::OnCommand(id, code, control);
}
