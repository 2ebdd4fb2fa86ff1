#include "shell/ConfigurationsPageBTClassic.h"

#include "config/ConfigurationManager.h"
#include "res/resource.h"

namespace {

// In the order of the option flags 3 to 7.
const int ConfigurationIds[5] = {IDC_CONFIGURATION_1, IDC_CONFIGURATION_2, IDC_CONFIGURATION_3, IDC_CONFIGURATION_4, IDC_CONFIGURATION_5};

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
    AddLocalizedControl("CONFIGURATIONS_TITLE", IDC_CONFIGURATIONS_TITLE);
    AddLocalizedControl("CONFIGURATIONS_SUBTITLE_1", IDC_CONFIGURATIONS_SUBTITLE_1);
    AddLocalizedControl("CONFIGURATIONS_TEXT_1", IDC_CONFIGURATIONS_TEXT_1);
    AddLocalizedControl("CONFIGURATIONS_CHECK_1", IDC_CONFIGURATION_1_TEXT);
    AddLocalizedControl("CONFIGURATIONS_CHECK_2", IDC_CONFIGURATION_2);
    AddLocalizedControl("CONFIGURATIONS_SUBTITLE_2", IDC_CONFIGURATIONS_SUBTITLE_2);
    AddLocalizedControl("CONFIGURATIONS_TEXT_2", IDC_CONFIGURATIONS_TEXT_2);
    AddLocalizedControl("CONFIGURATIONS_CHECK_3", IDC_CONFIGURATION_3);
    AddLocalizedControl("CONFIGURATIONS_CHECK_4", IDC_CONFIGURATION_4);
    AddLocalizedControl("CONFIGURATIONS_CHECK_5", IDC_CONFIGURATION_5);
    AddLocalizedControl("BUTTON_NEXT", IDC_NEXT);
    AddLocalizedControl("BUTTON_BACK", IDC_BACK);
    UpdateTexts();
    MakeTitleFont(IDC_CONFIGURATIONS_TITLE, m_titleFont);
    return TRUE;
}

bool ConfigurationsPageBTClassic::OnCommand(UINT id, UINT code, HWND control)
{
    if (code != BN_CLICKED || (id != IDC_NEXT && id != IDC_BACK))
        return IPage::OnCommand(id, code, control);
    if (id == IDC_NEXT) {
        auto& flags = ConfigurationManager::GetInstance()->optionFlags;
        for (int i = 0; i < 5; ++i)
            flags[static_cast<size_t>(3 + i)] = m_configurations[i].GetCheck() != 0;
    }
    if (m_onButton)
        m_onButton(id == IDC_NEXT ? ButtonType::Next : ButtonType::Back);
    return true;
}
