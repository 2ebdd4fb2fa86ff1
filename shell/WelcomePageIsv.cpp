#include "shell/WelcomePageIsv.h"

#include "config/ConfigurationManager.h"
#include "res/resource.h"

namespace {

void LinkTo(CMFCLinkCtrl& link, const CString& url)
{
    link.SetURL(url);
    if (url.IsEmpty())
        link.ShowWindow(SW_HIDE);
}

} // namespace

WelcomePageIsv::WelcomePageIsv(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : IPage(std::move(languageManager), IDD_WELCOME_PAGE, parent)
{
}

void WelcomePageIsv::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PRIVACY_LINK, m_privacyLink);
    DDX_Control(pDX, IDC_TERMS_LINK, m_termsLink);
    DDX_Control(pDX, IDC_LICENSE_LINK, m_licenseLink);
    DDX_Control(pDX, IDC_PAGE_PICTURE, m_picture);
}

BOOL WelcomePageIsv::OnInitDialog()
{
    IPage::OnInitDialog();
    auto configuration = ConfigurationManager::GetInstance();
    const bool downloadType = configuration->wizardType == 1;
    if (downloadType)
        m_picture.SetImage(configuration->productImage);
    else
        m_picture.LoadImage(IDB_PICTURE_WELCOME, L"IMAGE_BLOB");

    AddLocalizedControl("PRODUCT_TITLE", IDC_PRODUCT_TITLE);
    AddLocalizedControl("WELCOME_TITLE", IDC_WELCOME_TITLE);
    AddLocalizedControl("WELCOME_TEXT", IDC_WELCOME_TEXT);
    AddLocalizedControl("BUTTON_NEXT", IDC_NEXT);
    AddLocalizedControl("PRIVACY_LINK", IDC_PRIVACY_LINK);
    AddLocalizedControl(downloadType ? "TOS_LINK" : "EULA_LINK", IDC_TERMS_LINK);
    AddLocalizedControl("SDK_LINK", IDC_LICENSE_LINK);
    UpdateTexts();

    LinkTo(m_privacyLink, configuration->productPrivacyUrl);
    LinkTo(m_termsLink, configuration->productTermsUrl);
    LinkTo(m_licenseLink, configuration->privacyPolicyUrl);
    return TRUE;
}

void WelcomePageIsv::UpdateTexts()
{
    IPage::UpdateTexts();
    // A new language brings texts of other lengths.
    m_privacyLink.SizeToContent();
    m_termsLink.SizeToContent();
    m_licenseLink.SizeToContent();
}

bool WelcomePageIsv::OnCommand(UINT id, UINT code, HWND control)
{
    if (id == IDC_NEXT && code == BN_CLICKED) {
        if (m_onButton)
            m_onButton(ButtonType::Next);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}
