// The language page of the classic flow: a title, a text and Next; the list stays
// hidden and the language preselected from the user's locale applies.
#pragma once

#include "locale/LanguagePage.h"

class LanguagePageBT : public LanguagePage {
public:
    LanguagePageBT(std::shared_ptr<LanguageManager> languageManager, CWnd* parent);

    CString GetName() override { return L"LanguagePageBT"; }

protected:
    void RegisterTexts() override;
};
