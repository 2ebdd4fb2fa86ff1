#include "shell/IPage.h"

#include "config/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "res/resource.h"

IPage::IPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, CWnd* parent)
    : CDialogEx(templateId, parent), m_languageManager(std::move(languageManager))
{
    m_brush.CreateSolidBrush(ConfigurationManager::GetInstance()->accentColor);
    if (m_languageManager)
        m_languageManager->AddObserver(this);
}

IPage::~IPage()
{
    if (m_languageManager)
        m_languageManager->RemoveObserver(this);
}

void IPage::AddLocalizedControl(const std::string& key, int controlId)
{
    m_localizedControls.emplace_back(GetDlgItem(controlId), key);
}

void IPage::UpdateTexts()
{
    if (!m_languageManager)
        return;
    for (const auto& entry : m_localizedControls) {
        if (!entry.first || !entry.first->IsWindow())
            continue;
        CString text = m_languageManager->GetText(entry.second);
        if (!text.IsEmpty())
            entry.first->SetWindowText(text);
    }
}

HBRUSH IPage::OnCtlColor(HDC dc, CWnd* control, UINT kind)
{
    if (control && control->GetDlgCtrlID() == IDC_PAGE_BAND) {
        ::SetBkMode(dc, TRANSPARENT);
        return m_brush;
    }
    return CDialogEx::OnCtlColor(dc, control, kind);
}

void IPage::MakeTitleFont(int controlId, CFont& font)
{
    CWnd* title = GetDlgItem(controlId);
    LOGFONTW description = {};
    if (!title || !title->IsWindow() || !CFont::Describe(title->GetFont(), description))
        return;
    description.lfHeight = 12;
    description.lfWeight = 1000;
    if (font.CreateFontIndirect(&description))
        title->SetFont(font, TRUE);
}
