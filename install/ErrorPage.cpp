#include "install/ErrorPage.h"

#include "res/resource.h"

ErrorPage::ErrorPage(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : IPage(std::move(languageManager), IDD_ERROR_PAGE, parent)
{
}

void ErrorPage::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PAGE_PICTURE, m_image);
    DDX_Text(pDX, IDC_ERROR_TITLE, m_title);
    DDX_Text(pDX, IDC_ERROR_TEXT, m_text);
}

BOOL ErrorPage::OnInitDialog()
{
    IPage::OnInitDialog();
    AddLocalizedControl("BUTTON_CLOSE", IDC_CLOSE);
    UpdateTexts();
    return TRUE;
}

void ErrorPage::SetError(const CString& title, const CString& text)
{
    // The page is made hidden at start and most runs never show it: its picture is
    // decoded when it is first needed, not on the way to the first page.
    if (!m_imageLoaded) {
        m_image.LoadImage(IDB_PICTURE_ERROR, L"IMAGE_BLOB3");
        m_imageLoaded = true;
    }
    m_title = title;
    m_text = text;
    UpdateData(FALSE);
}

bool ErrorPage::OnCommand(UINT id, UINT code, HWND control)
{
    if (id == IDC_CLOSE && code == BN_CLICKED) {
        if (m_onButton)
            m_onButton(ButtonType::Close);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}
