#include "shell/LicensePageIsv.h"

#include "config/ConfigurationManager.h"
#include "res/resource.h"

#include <shellapi.h>

namespace {

const int AgreeId = 1050;
const int BackId = 1051;
const int LinksId = 1047;
const int BandId = 1002;

} // namespace

LicensePageIsv::LicensePageIsv(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : IPage(std::move(languageManager), IDD_LICENSE_PAGE, parent)
{
}

void LicensePageIsv::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, 1046, m_licence);
    DDX_Control(pDX, LinksId, m_links);
}

BOOL LicensePageIsv::OnInitDialog()
{
    IPage::OnInitDialog();
    m_licence.SetAutoURLDetect(TRUE);
    auto configuration = ConfigurationManager::GetInstance();
    m_backgroundBrush2.CreateSolidBrush(configuration->backgroundColor);

    AddLocalizedControl("PRODUCT_TITLE", 1008);
    AddLocalizedControl("LICENSE_TITLE", 1019);
    AddLocalizedControl("LICENSE_TEXT", 1020);
    AddLocalizedControl("BUTTON_AGREE", AgreeId);
    AddLocalizedControl("BUTTON_BACK", BackId);
    AddLocalizedControl("LICENSE_EULA", 1046);
    AddLocalizedControl("LICENSE_DISCLAIMER", LinksId);
    UpdateTexts();

    CString links = m_links.GetWindowText();
    links.Replace(L"[LICENSE_TOS_URL]", configuration->productTermsUrl);
    links.Replace(L"[LICENSE_PRIVACY_URL]", configuration->productPrivacyUrl);
    m_links.SetWindowText(links);

    MakeTitleFont(1019, m_titleFont);
    return TRUE;
}

bool LicensePageIsv::OnCommand(UINT id, UINT code, HWND control)
{
    if (code == BN_CLICKED && (id == AgreeId || id == BackId)) {
        if (m_onButton)
            m_onButton(id == AgreeId ? ButtonType::Next : ButtonType::Back);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}

bool LicensePageIsv::OnNotify(const NMHDR* header, LRESULT* result)
{
    if (header->idFrom != LinksId || (header->code != NM_CLICK && header->code != NM_RETURN))
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
    if (id == LinksId) {
        ::SetBkMode(dc, TRANSPARENT);
        return m_backgroundBrush2;
    }
    if (id == BandId) {
        ::SetBkMode(dc, TRANSPARENT);
        return m_brush;
    }
    return IPage::OnCtlColor(dc, control, kind);
}
