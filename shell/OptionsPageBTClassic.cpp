#include "shell/OptionsPageBTClassic.h"

#include "config/ConfigurationManager.h"
#include "res/resource.h"

namespace {

const int OptionIds[3] = {IDC_OPTION_1, IDC_OPTION_2, IDC_OPTION_3};

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
    AddLocalizedControl("OPTIONS_TITLE", IDC_OPTIONS_TITLE);
    AddLocalizedControl("OPTIONS_CHECK_1", IDC_OPTION_1);
    AddLocalizedControl("OPTIONS_CHECK_2", IDC_OPTION_2);
    AddLocalizedControl("OPTIONS_CHECK_3", IDC_OPTION_3);
    AddLocalizedControl("BUTTON_NEXT", IDC_NEXT);
    UpdateTexts();
    MakeTitleFont(IDC_OPTIONS_TITLE, m_titleFont);
    return TRUE;
}

bool OptionsPageBTClassic::OnCommand(UINT id, UINT code, HWND control)
{
    if (id == IDC_NEXT && code == BN_CLICKED) {
        auto& flags = ConfigurationManager::GetInstance()->optionFlags;
        for (int i = 0; i < 3; ++i)
            flags[static_cast<size_t>(i)] = m_options[i].GetCheck() != 0;
        if (m_onButton)
            m_onButton(ButtonType::Next);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}
