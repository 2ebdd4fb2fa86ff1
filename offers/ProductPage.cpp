#include "offers/ProductPage.h"

#include "config/ConfigurationManager.h"
#include "res/resource.h"

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
    AddLocalizedControl("BUTTON_ACCEPT", IDC_ACCEPT);
    AddLocalizedControl("BUTTON_DECLINE", IDC_DECLINE);
    UpdateTexts();
    return TRUE;
}

void ProductPage::OnNavigateToPage()
{
    // The offer's package joins the presented offers here.
}

bool ProductPage::OnCommand(UINT id, UINT code, HWND control)
{
    if (code == BN_CLICKED && (id == IDC_ACCEPT || id == IDC_DECLINE)) {
        if (m_onButton)
            m_onButton(id == IDC_ACCEPT ? ButtonType::Accept : ButtonType::Decline);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}

HBRUSH ProductPage::OnCtlColor(HDC dc, CWnd* control, UINT kind)
{
    if (control && control->GetDlgCtrlID() == IDC_OFFER_DISCLAIMER) {
        ::SetBkMode(dc, TRANSPARENT);
        return m_linkBrush;
    }
    return IPage::OnCtlColor(dc, control, kind);
}
