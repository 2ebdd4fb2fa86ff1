#include "locale/LanguagePageBT.h"

#include "res/resource.h"

LanguagePageBT::LanguagePageBT(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : LanguagePage(std::move(languageManager), IDD_LANGUAGE_PAGE_BT, parent)
{
}

void LanguagePageBT::RegisterTexts()
{
    AddLocalizedControl("BUTTON_NEXT", IDC_NEXT);
    AddLocalizedControl("SPLASH_TITLE_BT", IDC_SPLASH_TITLE_BT);
    AddLocalizedControl("SPLASH_TEXT_BT", IDC_SPLASH_TEXT_BT);
}
