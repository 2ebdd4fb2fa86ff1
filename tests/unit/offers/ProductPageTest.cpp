// The offer page on a window of its own: the disclaimer filled with the offer's values,
// Accept and Decline as the lists and the store see them, and a link opened through the
// shell's handler of the address.
#include "config/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "net/CommonEventData.h"
#include "offers/Package.h"
#include "offers/ProductPage.h"
#include "res/resource.h"
#include "tests/common/ContentHostControl.h"
#include "tests/common/TestSupport.h"
#include "tests/unit/shell/GuiTestSupport.h"
#include "win32/UniqueResource.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

using nlohmann::json;
using testing_support::ContentHostControl;

namespace {

class ProductPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gui_test::PrepareProcess();
        // The English table, the first of the program's own.
        tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
        const std::vector<int> tables = m_texts->GetLocaleResourceIds();
        ASSERT_FALSE(tables.empty());
        ASSERT_TRUE(m_texts->LoadLocaleResource(tables.front(), document));
        ASSERT_TRUE(m_texts->ParseLocale(document));
        m_window = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 700, 500, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
        m_parent.Attach(m_window);
        m_configuration->acceptedPackages.clear();
        m_configuration->presentedPackages.clear();
        const json offer = {{"ad", {{"f", "feed-q"}, {"o", "offer-q"}}},
                            {"ps",
                             {{"i", "img/notes.png"},
                              {"dn", "Quill Notes"},
                              {"u", "q.exe"},
                              {"cp", "https://www.orvane.test/privacy/q"},
                              {"ctu", "https://www.orvane.test/terms/q"}}}};
        m_package = std::make_shared<Package>(BuildCommonEventData(), offer, false, std::string(), 0);
        m_page = std::make_unique<ProductPage>(m_texts, m_package, &m_parent);
        m_page->CreatePage(&m_parent);
        m_page->SetButtonCallback([this](ButtonType type) { m_pressed.push_back(type); });
    }
    void TearDown() override
    {
        m_page.reset();
        m_parent.Detach();
        DestroyWindow(m_window);
        m_configuration->acceptedPackages.clear();
        m_configuration->presentedPackages.clear();
    }

    void Press(int id)
    {
        SendMessageW(GetDlgItem(m_page->GetSafeHwnd(), id), BM_CLICK, 0, 0);
        gui_test::Pump();
    }
    size_t Count(const std::vector<std::shared_ptr<Package>>& list) const
    {
        return static_cast<size_t>(std::count(list.begin(), list.end(), m_package));
    }

    std::shared_ptr<ConfigurationManager> m_configuration = ConfigurationManager::GetInstance();
    std::shared_ptr<LanguageManager> m_texts = std::make_shared<LanguageManager>(nullptr);
    HWND m_window = nullptr;
    CWnd m_parent;
    std::shared_ptr<Package> m_package;
    std::unique_ptr<ProductPage> m_page;
    std::vector<ButtonType> m_pressed;
};

TEST_F(ProductPageTest, FillsTheDisclaimerWithTheOffersNameAndAddresses)
{
    const CString text = gui_test::ItemText(m_page->GetSafeHwnd(), IDC_OFFER_DISCLAIMER);
    EXPECT_NE(-1, text.Find(L"\"Quill Notes\"")) << ToAnsi(text);
    EXPECT_NE(-1, text.Find(L"<a href=\"https://www.orvane.test/privacy/q\">")) << ToAnsi(text);
    EXPECT_NE(-1, text.Find(L"<a href=\"https://www.orvane.test/terms/q\">")) << ToAnsi(text);
    EXPECT_EQ(-1, text.Find(L"[PACKAGE_")) << ToAnsi(text);
    // A new language brings the placeholders back; they are filled in again.
    m_page->UpdateTexts();
    EXPECT_EQ(text, gui_test::ItemText(m_page->GetSafeHwnd(), IDC_OFFER_DISCLAIMER));
}

TEST_F(ProductPageTest, EveryArrivalPresentsTheOfferAndEveryAnswerCounts)
{
    ContentHostControl host;
    ASSERT_TRUE(host.Available());
    host.Reset();

    for (int i = 0; i < 3; ++i)
        m_page->OnNavigateToPage();
    EXPECT_EQ(3u, Count(m_configuration->presentedPackages));

    // Accept, come back, accept again, come back and decline.
    Press(IDC_ACCEPT);
    Press(IDC_ACCEPT);
    EXPECT_EQ(2u, Count(m_configuration->acceptedPackages));
    EXPECT_TRUE(host.Events().empty());
    Press(IDC_DECLINE);
    m_package->WaitForEvents();
    EXPECT_EQ(2u, Count(m_configuration->acceptedPackages));
    EXPECT_EQ((std::vector<ButtonType>{ButtonType::Accept, ButtonType::Accept, ButtonType::Decline}), m_pressed);

    const json events = host.Events();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ("4", events[0].at("kind"));
    EXPECT_EQ("offer-q", events[0].at("record").at("5"));
}

TEST_F(ProductPageTest, AClickOnALinkAsksTheShellToOpenItsAddress)
{
    // The shell's handler of https addresses, for this test: a program that writes its
    // command line into a marker file.
    testing_support::TempFolder folder;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring programs(self);
    programs.resize(programs.find_last_of(L"\\/") + 1);
    const CString browser = folder.File(L"browser.exe");
    ASSERT_TRUE(CopyFileW((programs + L"fake_installer.exe").c_str(), browser, FALSE));
    SetEnvironmentVariableW(L"ORVANE_MARKER_DIR", folder.Path());

    const wchar_t* key = L"Software\\Classes\\https\\shell\\open\\command";
    win32::unique_hkey command;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                                             command.put(), nullptr));
    wchar_t previous[1024] = {};
    DWORD previousSize = sizeof(previous);
    const bool hadPrevious =
        RegQueryValueExW(command.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(previous), &previousSize) ==
        ERROR_SUCCESS;
    const std::wstring handler = L"\"" + browser.str() + L"\" \"%1\"";
    RegSetValueExW(command.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(handler.c_str()),
                   static_cast<DWORD>((handler.size() + 1) * sizeof(wchar_t)));

    // Find the privacy link on the control and click it as a user would.
    HWND link = GetDlgItem(m_page->GetSafeHwnd(), IDC_OFFER_DISCLAIMER);
    m_page->ShowWindow(SW_SHOW);
    RECT area;
    GetClientRect(link, &area);
    POINT target = {-1, -1};
    for (int y = 1; y < area.bottom && target.x < 0; y += 2) {
        for (int x = 1; x < area.right && target.x < 0; x += 2) {
            LHITTESTINFO hit = {};
            hit.pt = {x, y};
            if (SendMessageW(link, LM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) &&
                std::wstring(hit.item.szUrl) == L"https://www.orvane.test/privacy/q")
                target = hit.pt;
        }
    }
    ASSERT_GE(target.x, 0) << "no privacy link on the disclaimer";
    SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(target.x, target.y));
    SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(target.x, target.y));
    gui_test::Pump();

    std::string marker;
    for (int i = 0; i < 100 && marker.empty(); ++i) {
        Sleep(50);
        marker = testing_support::ReadFileBytes(folder.File(L"browser.marker"));
    }
    if (hadPrevious)
        RegSetValueExW(command.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(previous), previousSize);
    else
        RegDeleteValueW(command.get(), nullptr);
    SetEnvironmentVariableW(L"ORVANE_MARKER_DIR", nullptr);

    EXPECT_NE(std::string::npos, marker.find("https://www.orvane.test/privacy/q")) << marker;
    EXPECT_EQ(std::string::npos, marker.find("terms")) << marker;
}

} // namespace
