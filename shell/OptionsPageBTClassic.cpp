#include "shell/OptionsPageBTClassic.h"

#include "config/ConfigurationManager.h"
#include "res/resource.h"

namespace {

const int NextId = 1010;
const int OptionIds[3] = {1056, 1057, 1058};

} // namespace

OptionsPageBTClassic::OptionsPageBTClassic(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : IPage(std::move(languageManager), IDD_OPTIONS_PAGE, parent)
{
}

void OptionsPageBTClassic::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    for (int i = 0; i < 3; ++i)
        DDX_Control(pDX, OptionIds[i], m_options[i]);
}

BOOL OptionsPageBTClassic::OnInitDialog()
{
    IPage::OnInitDialog();
    for (auto& option : m_options)
        option.SetCheck(BST_CHECKED);
    AddLocalizedControl("OPTIONS_TITLE", 1055);
    AddLocalizedControl("OPTIONS_CHECK_1", 1056);
    AddLocalizedControl("OPTIONS_CHECK_2", 1057);
    AddLocalizedControl("OPTIONS_CHECK_3", 1058);
    AddLocalizedControl("BUTTON_NEXT", NextId);
    UpdateTexts();
    MakeTitleFont(1055, m_titleFont);
    return TRUE;
}

bool OptionsPageBTClassic::OnCommand(UINT id, UINT code, HWND control)
{
    if (id == NextId && code == BN_CLICKED) {
        auto& flags = ConfigurationManager::GetInstance()->optionFlags;
        for (int i = 0; i < 3; ++i)
            flags[static_cast<size_t>(i)] = m_options[i].GetCheck() != 0;
        if (m_onButton)
            m_onButton(ButtonType::Next);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}
