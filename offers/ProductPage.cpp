#include "offers/ProductPage.h"

#include "config/ConfigurationManager.h"
#include "res/resource.h"

namespace {

const int AcceptId = 1021;
const int DeclineId = 1022;
const int DisclaimerId = 1042;

} // namespace

ProductPage::ProductPage(std::shared_ptr<LanguageManager> languageManager, std::shared_ptr<Package> package,
                         CWnd* parent)
    : IPage(std::move(languageManager), IDD_PRODUCT_PAGE, parent), m_package(std::move(package))
{
}

void ProductPage::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, DisclaimerId, m_disclaimer);
    DDX_Control(pDX, 1023, m_picture);
}

BOOL ProductPage::OnInitDialog()
{
    IPage::OnInitDialog();
    m_linkBrush.CreateSolidBrush(ConfigurationManager::GetInstance()->backgroundColor);
    AddLocalizedControl("BUTTON_ACCEPT", AcceptId);
    AddLocalizedControl("BUTTON_DECLINE", DeclineId);
    UpdateTexts();
    return TRUE;
}

void ProductPage::OnNavigateToPage()
{
    // The offer's package joins the presented offers here.
}

bool ProductPage::OnCommand(UINT id, UINT code, HWND control)
{
    if (code == BN_CLICKED && (id == AcceptId || id == DeclineId)) {
        if (m_onButton)
            m_onButton(id == AcceptId ? ButtonType::Accept : ButtonType::Decline);
        return true;
    }
    return IPage::OnCommand(id, code, control);
}

HBRUSH ProductPage::OnCtlColor(HDC dc, CWnd* control, UINT kind)
{
    if (control && control->GetDlgCtrlID() == DisclaimerId) {
        ::SetBkMode(dc, TRANSPARENT);
        return m_linkBrush;
    }
    return IPage::OnCtlColor(dc, control, kind);
}
