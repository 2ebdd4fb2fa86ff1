#include "shell/WelcomePageIsv.h"

#include "config/ConfigurationManager.h"
#include "res/resource.h"

namespace {

const int NextId = 1010;

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
    DDX_Control(pDX, 1039, m_privacyLink);
    DDX_Control(pDX, 1040, m_termsLink);
    DDX_Control(pDX, 1041, m_licenseLink);
    DDX_Control(pDX, 1016, m_picture);
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

    AddLocalizedControl("PRODUCT_TITLE", 1008);
    AddLocalizedControl("WELCOME_TITLE", 1017);
    AddLocalizedControl("WELCOME_TEXT", 1018);
    AddLocalizedControl("BUTTON_NEXT", NextId);
    AddLocalizedControl("PRIVACY_LINK", 1039);
    AddLocalizedControl(downloadType ? "TOS_LINK" : "EULA_LINK", 1040);
    AddLocalizedControl("SDK_LINK", 1041);
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
    if (id == NextId && code == BN_CLICKED) {
        if (m_onButton)
            m_onButton(ButtonType::Next);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}
