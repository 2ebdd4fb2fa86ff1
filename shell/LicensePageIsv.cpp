#include "shell/LicensePageIsv.h"

#include "config/ConfigurationManager.h"
#include "res/resource.h"

#include <shellapi.h>

LicensePageIsv::LicensePageIsv(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : IPage(std::move(languageManager), IDD_LICENSE_PAGE, parent)
{
}

void LicensePageIsv::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LICENSE_EULA, m_licence);
    DDX_Control(pDX, IDC_LICENSE_LINKS, m_links);
}

BOOL LicensePageIsv::OnInitDialog()
{
    IPage::OnInitDialog();
    m_licence.SetAutoURLDetect(TRUE);
    auto configuration = ConfigurationManager::GetInstance();
    m_backgroundBrush2.CreateSolidBrush(configuration->backgroundColor);

    AddLocalizedControl("PRODUCT_TITLE", IDC_PRODUCT_TITLE);
    AddLocalizedControl("LICENSE_TITLE", IDC_LICENSE_TITLE);
    AddLocalizedControl("LICENSE_TEXT", IDC_LICENSE_TEXT);
    AddLocalizedControl("BUTTON_AGREE", IDC_AGREE);
    AddLocalizedControl("BUTTON_BACK", IDC_BACK);
    AddLocalizedControl("LICENSE_EULA", IDC_LICENSE_EULA);
    AddLocalizedControl("LICENSE_DISCLAIMER", IDC_LICENSE_LINKS);
    UpdateTexts();

    CString links = m_links.GetWindowText();
    links.Replace(L"[LICENSE_TOS_URL]", configuration->productTermsUrl);
    links.Replace(L"[LICENSE_PRIVACY_URL]", configuration->productPrivacyUrl);
    m_links.SetWindowText(links);

    MakeTitleFont(IDC_LICENSE_TITLE, m_titleFont);
    return TRUE;
}

bool LicensePageIsv::OnCommand(UINT id, UINT code, HWND control)
{
    if (code == BN_CLICKED && (id == IDC_AGREE || id == IDC_BACK)) {
        if (m_onButton)
            m_onButton(id == IDC_AGREE ? ButtonType::Next : ButtonType::Back);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}

bool LicensePageIsv::OnNotify(const NMHDR* header, LRESULT* result)
{
    if (header->idFrom != IDC_LICENSE_LINKS || (header->code != NM_CLICK && header->code != NM_RETURN))
        return IPage::OnNotify(header, result);
    const auto* link = reinterpret_cast<const NMLINK*>(header);
    if (link->item.szUrl[0])
        ::ShellExecuteW(nullptr, L"open", link->item.szUrl, nullptr, nullptr, SW_SHOWNORMAL);
    *result = 0;
    return true;
}

HBRUSH LicensePageIsv::OnCtlColor(HDC dc, CWnd* control, UINT kind)
{
    int id = control ? control->GetDlgCtrlID() : 0;
    if (id == IDC_LICENSE_LINKS) {
        ::SetBkMode(dc, TRANSPARENT);
        return m_backgroundBrush2;
    }
    if (id == IDC_PAGE_BAND) {
        ::SetBkMode(dc, TRANSPARENT);
        return m_brush;
    }
    return IPage::OnCtlColor(dc, control, kind);
}
