#include "locale/LanguagePage.h"

#include "locale/LanguageManager.h"
#include "res/resource.h"

LanguagePage::LanguagePage(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : LanguagePage(std::move(languageManager), IDD_LANGUAGE_PAGE, parent)
{
}

LanguagePage::LanguagePage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, CWnd* parent)
    : IPage(std::move(languageManager), templateId, parent)
{
}

void LanguagePage::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LANGUAGE_LIST, m_languages);
}

void LanguagePage::RegisterTexts()
{
    AddLocalizedControl("BUTTON_NEXT", IDC_NEXT);
    AddLocalizedControl("SPLASH_TEXT", IDC_SPLASH_TEXT);
}

BOOL LanguagePage::OnInitDialog()
{
    IPage::OnInitDialog();
    RegisterTexts();
    m_languageManager->FillLanguageCombo(m_languages);
    // Selecting the language fills this page's texts, through the refresh of all pages.
    OnLanguageSelected();
    SendMessage(DM_SETDEFID, IDC_NEXT);
    return TRUE;
}

void LanguagePage::OnLanguageSelected()
{
    int selection = m_languages.GetCurSel();
    if (selection == CB_ERR)
        return;
    m_languageManager->SelectLanguage(m_languages.GetLBText(selection));
}

bool LanguagePage::OnCommand(UINT id, UINT code, HWND control)
{
    if (id == IDC_LANGUAGE_LIST && code == CBN_SELCHANGE) {
        OnLanguageSelected();
        return true;
    }
    if (id == IDC_NEXT && code == BN_CLICKED) {
        if (m_onButton)
            m_onButton(ButtonType::Next);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}
