#include "shell/WarningPageBTClassic.h"

#include "config/ConfigurationManager.h"
#include "res/resource.h"

namespace {

const int NextId = 1010;
const int BackId = 1051;
const int TextId = 1054;

} // namespace

WarningPageBTClassic::WarningPageBTClassic(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : IPage(std::move(languageManager), IDD_WARNING_PAGE, parent)
{
}

void WarningPageBTClassic::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, TextId, m_text);
}

BOOL WarningPageBTClassic::OnInitDialog()
{
    IPage::OnInitDialog();
    m_textBrush.CreateSolidBrush(ConfigurationManager::GetInstance()->backgroundColor);
    AddLocalizedControl("PRODUCT_TITLE", 1008);
    AddLocalizedControl("WARNING_TITLE", 1052);
    AddLocalizedControl("WARNING_SUBTITLE", 1053);
    AddLocalizedControl("WARNING_TEXT", TextId);
    AddLocalizedControl("BUTTON_NEXT", NextId);
    AddLocalizedControl("BUTTON_BACK", BackId);
    UpdateTexts();
    MakeTitleFont(1052, m_titleFont);
    return TRUE;
}

bool WarningPageBTClassic::OnCommand(UINT id, UINT code, HWND control)
{
    if (code == BN_CLICKED && (id == NextId || id == BackId)) {
        if (m_onButton)
            m_onButton(id == NextId ? ButtonType::Next : ButtonType::Back);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}

HBRUSH WarningPageBTClassic::OnCtlColor(HDC dc, CWnd* control, UINT kind)
{
    if (control && control->GetDlgCtrlID() == TextId) {
        ::SetBkMode(dc, TRANSPARENT);
        return m_textBrush;
    }
    return IPage::OnCtlColor(dc, control, kind);
}
