#include "shell/ConfigurationsPageBTClassic.h"

#include "config/ConfigurationManager.h"
#include "res/resource.h"

namespace {

const int NextId = 1010;
const int BackId = 1051;
// In the order of the option flags 3 to 7.
const int ConfigurationIds[5] = {1069, 1063, 1066, 1067, 1068};

} // namespace

ConfigurationsPageBTClassic::ConfigurationsPageBTClassic(std::shared_ptr<LanguageManager> languageManager,
                                                         CWnd* parent)
    : IPage(std::move(languageManager), IDD_CONFIGURATIONS_PAGE, parent)
{
}

void ConfigurationsPageBTClassic::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    for (int i = 0; i < 5; ++i)
        DDX_Control(pDX, ConfigurationIds[i], m_configurations[i]);
}

BOOL ConfigurationsPageBTClassic::OnInitDialog()
{
    IPage::OnInitDialog();
    for (auto& box : m_configurations)
        box.SetCheck(BST_CHECKED);
    AddLocalizedControl("CONFIGURATIONS_TITLE", 1059);
    AddLocalizedControl("CONFIGURATIONS_SUBTITLE_1", 1060);
    AddLocalizedControl("CONFIGURATIONS_TEXT_1", 1061);
    AddLocalizedControl("CONFIGURATIONS_CHECK_1", 1062);
    AddLocalizedControl("CONFIGURATIONS_CHECK_2", 1063);
    AddLocalizedControl("CONFIGURATIONS_SUBTITLE_2", 1064);
    AddLocalizedControl("CONFIGURATIONS_TEXT_2", 1065);
    AddLocalizedControl("CONFIGURATIONS_CHECK_3", 1066);
    AddLocalizedControl("CONFIGURATIONS_CHECK_4", 1067);
    AddLocalizedControl("CONFIGURATIONS_CHECK_5", 1068);
    AddLocalizedControl("BUTTON_NEXT", NextId);
    AddLocalizedControl("BUTTON_BACK", BackId);
    UpdateTexts();
    MakeTitleFont(1059, m_titleFont);
    return TRUE;
}

bool ConfigurationsPageBTClassic::OnCommand(UINT id, UINT code, HWND control)
{
    if (code != BN_CLICKED || (id != NextId && id != BackId))
        return IPage::OnCommand(id, code, control);
    if (id == NextId) {
        auto& flags = ConfigurationManager::GetInstance()->optionFlags;
        for (int i = 0; i < 5; ++i)
            flags[static_cast<size_t>(3 + i)] = m_configurations[i].GetCheck() != 0;
    }
    if (m_onButton)
        m_onButton(id == NextId ? ButtonType::Next : ButtonType::Back);
    return true;
}
