#include "config/ConfigurationManager.h"
#include "res/resource.h"
#include "install/DownloadPageDlm.h"
#include "install/DownloadPageIsv.h"
#include "install/ErrorPage.h"
#include "install/FinishPageDlm.h"
#include "install/FinishPageIsv.h"
#include "locale/LanguageManager.h"
#include "locale/LanguagePage.h"
#include "locale/LanguagePageBT.h"
#include "offers/LoadingPage.h"
#include "offers/ProductPage.h"
#include "shell/ConfigurationsPageBTClassic.h"
#include "shell/LicensePageIsv.h"
#include "shell/OptionsPageBTClassic.h"
#include "shell/WarningPageBTClassic.h"
#include "shell/WelcomePageIsv.h"
#include "tests/unit/shell/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace {

using Factory = std::function<std::unique_ptr<IPage>(std::shared_ptr<LanguageManager>, CWnd*)>;

template <typename Page>
Factory Make()
{
    return [](std::shared_ptr<LanguageManager> texts, CWnd* parent) { return std::make_unique<Page>(texts, parent); };
}

// A window to hold pages, as the frame does.
struct Host {
    Host()
    {
        gui_test::PrepareProcess();
        window = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 700, 500, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        parent.Attach(window);
    }
    ~Host()
    {
        parent.Detach();
        DestroyWindow(window);
    }
    // Makes the page and records every button it reports.
    std::unique_ptr<IPage> Create(const Factory& make, std::vector<ButtonType>& pressed)
    {
        auto page = make(texts, &parent);
        page->CreatePage(&parent);
        page->SetButtonCallback([&pressed](ButtonType type) { pressed.push_back(type); });
        return page;
    }
    HWND window;
    CWnd parent;
    std::shared_ptr<LanguageManager> texts = std::make_shared<LanguageManager>(nullptr);
};

} // namespace

TEST(Pages, EveryPageIsMadeFromItsTemplateWithItsNameAndButtons)
{
    struct Case {
        const char* what;
        Factory make;
        const wchar_t* name;
        std::vector<std::pair<int, ButtonType>> buttons;
    } cases[] = {
        {"language", Make<LanguagePage>(), L"LanguagePage", {{IDC_NEXT, ButtonType::Next}}},
        {"language, classic", Make<LanguagePageBT>(), L"LanguagePageBT", {{IDC_NEXT, ButtonType::Next}}},
        {"loading", Make<LoadingPage>(), L"LoadingPage", {}},
        {"welcome", Make<WelcomePageIsv>(), L"WelcomePage", {{IDC_NEXT, ButtonType::Next}}},
        {"licence", Make<LicensePageIsv>(), L"LicensePage", {{IDC_AGREE, ButtonType::Next}, {IDC_BACK, ButtonType::Back}}},
        {"warning", Make<WarningPageBTClassic>(), L"WarningPageBTClassic",
         {{IDC_NEXT, ButtonType::Next}, {IDC_BACK, ButtonType::Back}}},
        {"offer",
         [](std::shared_ptr<LanguageManager> texts, CWnd* parent) {
             return std::make_unique<ProductPage>(texts, nullptr, parent);
         },
         L"ProductPage", {{IDC_ACCEPT, ButtonType::Accept}, {IDC_DECLINE, ButtonType::Decline}}},
        {"options", Make<OptionsPageBTClassic>(), L"OptionsPageBTClassic", {{IDC_NEXT, ButtonType::Next}}},
        {"configurations", Make<ConfigurationsPageBTClassic>(), L"ConfigurationsPageBTClassic",
         {{IDC_NEXT, ButtonType::Next}, {IDC_BACK, ButtonType::Back}}},
        {"download", Make<DownloadPageDlm>(), L"DownloadPageDLM", {}},
        {"install", Make<DownloadPageIsv>(), L"DownloadPageISV", {}},
        {"finish", Make<FinishPageDlm>(), L"FinishPageDLM", {{IDC_FINISH, ButtonType::Finish}}},
        {"finish, installer", Make<FinishPageIsv>(), L"FinishPageISV", {{IDC_FINISH, ButtonType::Finish}}},
        {"error", Make<ErrorPage>(), L"ErrorPage", {{IDC_CLOSE, ButtonType::Close}}},
    };
    Host host;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ButtonType> pressed;
        auto page = host.Create(c.make, pressed);
        ASSERT_TRUE(page->IsWindow());
        EXPECT_EQ(page->GetName(), c.name);
        // Every page has the band and its line.
        EXPECT_TRUE(GetDlgItem(*page, IDC_PAGE_BAND));
        EXPECT_TRUE(GetDlgItem(*page, IDC_PAGE_BAND_LINE));
        std::vector<ButtonType> expected;
        for (const auto& button : c.buttons) {
            HWND item = GetDlgItem(*page, button.first);
            ASSERT_TRUE(item) << button.first;
            SendMessageW(item, BM_CLICK, 0, 0);
            expected.push_back(button.second);
        }
        EXPECT_EQ(pressed, expected);
        // Enter and Escape inside a page do nothing.
        page->SendMessage(WM_COMMAND, IDOK);
        page->SendMessage(WM_COMMAND, IDCANCEL);
        EXPECT_TRUE(page->IsWindow());
        EXPECT_EQ(pressed.size(), expected.size());
    }
}

TEST(Pages, OptionBoxesAreStoredOnNextOnly)
{
    Host host;
    auto& flags = ConfigurationManager::GetInstance()->optionFlags;
    flags.fill(false);
    std::vector<ButtonType> pressed;

    auto options = host.Create(Make<OptionsPageBTClassic>(), pressed);
    SendMessageW(GetDlgItem(*options, IDC_NEXT), BM_CLICK, 0, 0);
    EXPECT_EQ(flags, (std::array<bool, 8>{true, true, true, false, false, false, false, false}));

    auto configurations = host.Create(Make<ConfigurationsPageBTClassic>(), pressed);
    SendMessageW(GetDlgItem(*configurations, IDC_CONFIGURATION_1), BM_CLICK, 0, 0);
    SendMessageW(GetDlgItem(*configurations, IDC_BACK), BM_CLICK, 0, 0);
    EXPECT_EQ(flags, (std::array<bool, 8>{true, true, true, false, false, false, false, false}));
    SendMessageW(GetDlgItem(*configurations, IDC_NEXT), BM_CLICK, 0, 0);
    EXPECT_EQ(flags, (std::array<bool, 8>{true, true, true, false, true, true, true, true}));
    flags.fill(false);
}
