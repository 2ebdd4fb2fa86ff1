#include "shell/WarningPageBTClassic.h"

#include "config/ConfigurationManager.h"
#include "res/resource.h"

WarningPageBTClassic::WarningPageBTClassic(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : IPage(std::move(languageManager), IDD_WARNING_PAGE, parent)
{
}

void WarningPageBTClassic::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_WARNING_TEXT, m_text);
}

BOOL WarningPageBTClassic::OnInitDialog()
{
    IPage::OnInitDialog();
    m_textBrush.CreateSolidBrush(ConfigurationManager::GetInstance()->backgroundColor);
    AddLocalizedControl("PRODUCT_TITLE", IDC_PRODUCT_TITLE);
    AddLocalizedControl("WARNING_TITLE", IDC_WARNING_TITLE);
    AddLocalizedControl("WARNING_SUBTITLE", IDC_WARNING_SUBTITLE);
    AddLocalizedControl("WARNING_TEXT", IDC_WARNING_TEXT);
    AddLocalizedControl("BUTTON_NEXT", IDC_NEXT);
    AddLocalizedControl("BUTTON_BACK", IDC_BACK);
    UpdateTexts();
    MakeTitleFont(IDC_WARNING_TITLE, m_titleFont);
    return TRUE;
}

bool WarningPageBTClassic::OnCommand(UINT id, UINT code, HWND control)
{
    if (code == BN_CLICKED && (id == IDC_NEXT || id == IDC_BACK)) {
        if (m_onButton)
            m_onButton(id == IDC_NEXT ? ButtonType::Next : ButtonType::Back);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}

HBRUSH WarningPageBTClassic::OnCtlColor(HDC dc, CWnd* control, UINT kind)
{
    if (control && control->GetDlgCtrlID() == IDC_WARNING_TEXT) {
        ::SetBkMode(dc, TRANSPARENT);
        return m_textBrush;
    }
    return IPage::OnCtlColor(dc, control, kind);
}
