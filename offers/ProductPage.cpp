#include "offers/ProductPage.h"

#include "config/ConfigurationManager.h"
#include "offers/Package.h"
#include "res/resource.h"

#include <commctrl.h>
#include <gdiplus.h>
#include <shellapi.h>

ProductPage::ProductPage(std::shared_ptr<LanguageManager> languageManager, std::shared_ptr<Package> package,
                         CWnd* parent)
    : IPage(std::move(languageManager), IDD_PRODUCT_PAGE, parent), m_package(std::move(package))
{
}

void ProductPage::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_OFFER_DISCLAIMER, m_disclaimer);
    DDX_Control(pDX, IDC_OFFER_PICTURE, m_picture);
}

BOOL ProductPage::OnInitDialog()
{
    IPage::OnInitDialog();
    m_linkBrush.CreateSolidBrush(ConfigurationManager::GetInstance()->backgroundColor);
    if (m_package)
        m_picture.SetImage(m_package->m_image);
    AddLocalizedControl("BUTTON_ACCEPT", IDC_ACCEPT);
    AddLocalizedControl("BUTTON_DECLINE", IDC_DECLINE);
    AddLocalizedControl("PRODUCT_DISCLAIMER", IDC_OFFER_DISCLAIMER);
    UpdateTexts();
    return TRUE;
}

void ProductPage::ExpandDisclaimer()
{
    if (!m_package)
        return;
    CString text = m_disclaimer.GetWindowText();
    text.Replace(L"[PACKAGE_NAME]", CString(m_package->m_name.c_str()));
    text.Replace(L"[PACKAGE_PRIVACY_URL]", CString(m_package->m_privacyUrl.c_str()));
    text.Replace(L"[PACKAGE_EULA_URL]", CString(m_package->m_termsUrl.c_str()));
    m_disclaimer.SetWindowText(text);
}

void ProductPage::UpdateTexts()
{
    // A new language brings the disclaimer's placeholders back; fill them in again.
    IPage::UpdateTexts();
    if (m_disclaimer.GetSafeHwnd())
        ExpandDisclaimer();
}

void ProductPage::OnNavigateToPage()
{
    if (m_package)
        ConfigurationManager::GetInstance()->presentedPackages.push_back(m_package);
}

bool ProductPage::OnCommand(UINT id, UINT code, HWND control)
{
    if (code == BN_CLICKED && id == IDC_ACCEPT) {
        if (m_package)
            ConfigurationManager::GetInstance()->acceptedPackages.push_back(m_package);
        if (m_onButton)
            m_onButton(ButtonType::Accept);
        return true;
    }
    if (code == BN_CLICKED && id == IDC_DECLINE) {
        try {
            if (m_package)
                m_package->SendEvent(4, nullptr);
        } catch (const std::exception&) {
            // A lost event changes nothing in the wizard's flow.
        }
        if (m_onButton)
            m_onButton(ButtonType::Decline);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}

bool ProductPage::OnNotify(const NMHDR* header, LRESULT* result)
{
    if (header->idFrom != IDC_OFFER_DISCLAIMER || (header->code != NM_CLICK && header->code != NM_RETURN))
        return IPage::OnNotify(header, result);
    const auto* link = reinterpret_cast<const NMLINK*>(header);
    if (link->item.szUrl[0])
        ::ShellExecuteW(nullptr, L"open", link->item.szUrl, nullptr, nullptr, SW_SHOWNORMAL);
    *result = 0;
    return true;
}

HBRUSH ProductPage::OnCtlColor(HDC dc, CWnd* control, UINT kind)
{
    const int id = control ? control->GetDlgCtrlID() : 0;
    if (id == IDC_OFFER_DISCLAIMER) {
        ::SetBkMode(dc, TRANSPARENT);
        return m_linkBrush;
    }
    if (id == IDC_PAGE_BAND) {
        ::SetBkMode(dc, TRANSPARENT);
        return m_brush;
    }
    return IPage::OnCtlColor(dc, control, kind);
}
