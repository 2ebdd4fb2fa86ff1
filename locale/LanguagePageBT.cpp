#include "locale/LanguagePageBT.h"

#include "res/resource.h"

LanguagePageBT::LanguagePageBT(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : LanguagePage(std::move(languageManager), IDD_LANGUAGE_PAGE_BT, parent)
{
}

void LanguagePageBT::RegisterTexts()
{
    AddLocalizedControl("BUTTON_NEXT", 1010);
    AddLocalizedControl("SPLASH_TITLE_BT", 1013);
    AddLocalizedControl("SPLASH_TEXT_BT", 1012);
}
