#include "install/ErrorPage.h"

#include "res/resource.h"

namespace {

const int CloseId = 1035;
const int TitleId = 1036;
const int TextId = 1037;

} // namespace

ErrorPage::ErrorPage(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : IPage(std::move(languageManager), IDD_ERROR_PAGE, parent)
{
}

void ErrorPage::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, 1016, m_image);
    DDX_Text(pDX, TitleId, m_title);
    DDX_Text(pDX, TextId, m_text);
}

BOOL ErrorPage::OnInitDialog()
{
    IPage::OnInitDialog();
    m_image.LoadImage(IDB_PICTURE_ERROR, L"IMAGE_BLOB3");
    AddLocalizedControl("BUTTON_CLOSE", CloseId);
    UpdateTexts();
    return TRUE;
}

void ErrorPage::SetError(const CString& title, const CString& text)
{
    m_title = title;
    m_text = text;
    UpdateData(FALSE);
}

bool ErrorPage::OnCommand(UINT id, UINT code, HWND control)
{
    if (id == CloseId && code == BN_CLICKED) {
        if (m_onButton)
            m_onButton(ButtonType::Close);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}
