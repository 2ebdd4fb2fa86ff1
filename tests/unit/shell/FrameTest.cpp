#include "config/BuildSettings.h"
#include "config/ConfigurationManager.h"
#include "install/DownloadManager.h"
#include "install/ErrorPage.h"
#include "offers/LoadingPage.h"
#include "locale/LanguageManager.h"
#include "res/resource.h"
#include "shell/COrvaneDlg.h"
#include "shell/WindowMessages.h"
#include "tests/common/ContentHostControl.h"
#include "tests/common/TestSupport.h"
#include "tests/unit/shell/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <shlwapi.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using gui_test::HasSystemClose;
using gui_test::ItemText;
using gui_test::Pump;
using testing_support::MessageBoxAnswerer;

namespace {

const bool DownloadType = std::string(build::WizardTypeName) == "DLM";

// The frame as a modeless window, so a test can drive it and look at it.
class Frame : public COrvaneDlg {
public:
    Frame()
    {
        gui_test::PrepareProcess();
        Create(IDD_ORVANE_DIALOG, nullptr);
        Pump();
        // The tests play the loading page's part themselves; the real load that the
        // first Next starts must not hand its own list to the frame as well.
        if (auto* loading = GetPages().size() > 1 ? dynamic_cast<LoadingPage*>(GetPages()[1].get()) : nullptr) {
            m_ready = loading->onPackagesReady;
            loading->onPackagesReady = nullptr;
        }
    }
    // The frame's hand-over of the loaded offers.
    const std::function<void(std::vector<std::shared_ptr<Package>>)>& Ready() const { return m_ready; }
    using COrvaneDlg::OnClose;
    using COrvaneDlg::OnCommand;

    std::vector<std::wstring> Names() const
    {
        std::vector<std::wstring> names;
        for (const auto& page : GetPages())
            names.push_back(page->GetName().str());
        return names;
    }
    HWND PageWindow(size_t index) const { return GetPages().at(index)->GetSafeHwnd(); }
    void CompleteLoading()
    {
        PostMessage(WM_LOAD_COMPLETE, 0, 0);
        Pump();
    }

private:
    std::function<void(std::vector<std::shared_ptr<Package>>)> m_ready;
};

// The pages of a whole run with the configuration's page-set flags (set from the build
// options at start), without offers.
std::vector<std::wstring> ExpectedSequence()
{
    auto configuration = ConfigurationManager::GetInstance();
    const bool classicFlow = configuration->btClassicFlow;
    const bool classicMode = configuration->btClassicMode;
    std::vector<std::wstring> names = {classicFlow ? L"LanguagePageBT" : L"LanguagePage", L"LoadingPage"};
    if (classicFlow) {
        if (classicMode)
            names.push_back(L"WarningPageBTClassic");
        names.push_back(L"LicensePage");
    } else {
        names.push_back(L"WelcomePage");
    }
    if (classicMode) {
        names.push_back(L"OptionsPageBTClassic");
        names.push_back(L"ConfigurationsPageBTClassic");
    }
    names.push_back(DownloadType ? L"DownloadPageDLM" : L"DownloadPageISV");
    names.push_back(DownloadType ? L"FinishPageDLM" : L"FinishPageISV");
    return names;
}

// A working folder with something in it, as a run leaves it.
void FillWorkingFolder()
{
    auto configuration = ConfigurationManager::GetInstance();
    CreateDirectoryW(configuration->workingFolder, nullptr);
    testing_support::WriteFileBytes(configuration->workingFolder + L"\\offer.exe", "MZ");
}

// Presses a button the user can see; a hidden page's button cannot be pressed.
void Click(HWND page, int id)
{
    HWND button = GetDlgItem(page, id);
    ASSERT_TRUE(button && IsWindowVisible(button)) << "button " << id << " is not visible";
    SendMessageW(button, BM_CLICK, 0, 0);
}

} // namespace

TEST(Frame, StartsOnTheLanguagePageWithTheTitleOfItsType)
{
    Frame frame;
    ASSERT_TRUE(frame.IsWindow());
    auto configuration = ConfigurationManager::GetInstance();

    EXPECT_EQ(frame.GetWindowText(), DownloadType ? CString(L"Setup") : configuration->productTitle + L" ");
    ASSERT_EQ(frame.GetPages().size(), 2u);
    EXPECT_EQ(frame.Names()[0], build::ClassicFlow ? L"LanguagePageBT" : L"LanguagePage");
    EXPECT_EQ(frame.Names()[1], L"LoadingPage");
    EXPECT_EQ(frame.GetCurrentIndex(), 0u);
    EXPECT_TRUE(IsWindowVisible(frame.PageWindow(0)));
    EXPECT_FALSE(IsWindowVisible(frame.PageWindow(1)));
    EXPECT_FALSE(IsWindowVisible(frame.GetErrorPage()->GetSafeHwnd()));
    // The header's title shows only after loading; the installer type has no header icon.
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(frame, IDC_PRODUCT_TITLE)));
    EXPECT_EQ(IsWindowVisible(GetDlgItem(frame, IDC_HEADER_ICON)) != FALSE, DownloadType);
    EXPECT_EQ(IsWindowVisible(GetDlgItem(frame, IDC_HEADER_LINE)) != FALSE, DownloadType);

    // Pages lie exactly over the page host.
    RECT host, page;
    GetWindowRect(GetDlgItem(frame, IDC_PAGE_HOST), &host);
    GetWindowRect(frame.PageWindow(0), &page);
    EXPECT_TRUE(EqualRect(&host, &page));

    HMENU menu = GetSystemMenu(frame, FALSE);
    wchar_t about[64] = {};
    GetMenuStringW(menu, IDM_ABOUTBOX, about, 64, MF_BYCOMMAND);
    EXPECT_STREQ(about, L"&About Orvane...");
}

TEST(Frame, BuildsTheWholeSequenceWhenLoadingCompletes)
{
    Frame frame;
    frame.OnButton(ButtonType::Next);
    EXPECT_EQ(frame.GetCurrentIndex(), 1u);
    EXPECT_FALSE(IsWindowVisible(frame.PageWindow(0)));
    EXPECT_TRUE(IsWindowVisible(frame.PageWindow(1)));

    frame.CompleteLoading();
    EXPECT_EQ(frame.Names(), ExpectedSequence());
    EXPECT_EQ(frame.GetCurrentIndex(), 2u);
    EXPECT_TRUE(IsWindowVisible(frame.PageWindow(2)));
    EXPECT_FALSE(IsWindowVisible(frame.PageWindow(1)));
    auto configuration = ConfigurationManager::GetInstance();
    if (DownloadType) {
        EXPECT_EQ(frame.GetWindowText(), configuration->productTitle + L" Setup");
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(frame, IDC_PRODUCT_TITLE)));
        EXPECT_EQ(ItemText(frame, IDC_PRODUCT_TITLE), configuration->productTitle);
    } else {
        EXPECT_EQ(frame.GetWindowText(), configuration->productTitle + L" ");
    }

    // A second completion appends nothing that could be reached, and Next past the end does nothing.
    size_t last = frame.GetPages().size() - 1;
    frame.ShowPage(last);
    frame.OnButton(ButtonType::Next);
    EXPECT_EQ(frame.GetCurrentIndex(), last);
}

TEST(Frame, EachAcceptedOfferGetsItsOwnPageBeforeTheDownloadPage)
{
    Frame frame;
    frame.OnButton(ButtonType::Next);
    ASSERT_TRUE(frame.Ready());
    // Two offers (their packages are not looked at while the pages are made).
    frame.Ready()(std::vector<std::shared_ptr<Package>>(2));
    Pump();

    auto names = frame.Names();
    auto expected = ExpectedSequence();
    auto configuration = ConfigurationManager::GetInstance();
    size_t firstOffer = configuration->btClassicFlow && configuration->btClassicMode ? 4 : 3;
    expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(firstOffer), 2, L"ProductPage");
    EXPECT_EQ(names, expected);

    frame.ShowPage(firstOffer);
    Click(frame.PageWindow(firstOffer), IDC_DECLINE);
    EXPECT_EQ(frame.GetCurrentIndex(), firstOffer + 1);
    Click(frame.PageWindow(firstOffer + 1), IDC_ACCEPT);
    EXPECT_EQ(frame.GetCurrentIndex(), firstOffer + 2);
}

TEST(Frame, TheDownloadPageTakesCloseAwayAndTheFinishPageGivesItBack)
{
    Frame frame;
    frame.OnButton(ButtonType::Next);
    frame.CompleteLoading();
    EXPECT_TRUE(HasSystemClose(frame));
    size_t download = frame.GetPages().size() - 2;
    frame.ShowPage(download - 1);
    frame.OnButton(ButtonType::Next);
    ASSERT_EQ(frame.GetCurrentIndex(), download);
    EXPECT_FALSE(HasSystemClose(frame));
    frame.OnButton(ButtonType::Next);
    EXPECT_EQ(frame.GetCurrentIndex(), download + 1);
    EXPECT_TRUE(HasSystemClose(frame));
}

TEST(Frame, BackFromTheFirstPageAfterLoadingSkipsTheLoadingPage)
{
    Frame frame;
    frame.OnButton(ButtonType::Next);
    frame.CompleteLoading();
    ASSERT_EQ(frame.GetCurrentIndex(), 2u);

    frame.OnButton(ButtonType::Back);
    EXPECT_EQ(frame.GetCurrentIndex(), 0u);
    EXPECT_TRUE(IsWindowVisible(frame.PageWindow(0)));
    EXPECT_FALSE(IsWindowVisible(frame.PageWindow(2)));
    frame.OnButton(ButtonType::Next);
    EXPECT_EQ(frame.GetCurrentIndex(), 2u);
    EXPECT_FALSE(IsWindowVisible(frame.PageWindow(1)));

    frame.OnButton(ButtonType::Next);
    frame.OnButton(ButtonType::Back);
    EXPECT_EQ(frame.GetCurrentIndex(), 2u);
    frame.OnButton(ButtonType::Accept);
    EXPECT_EQ(frame.GetCurrentIndex(), 3u);
    frame.OnButton(ButtonType::Decline);
    EXPECT_EQ(frame.GetCurrentIndex(), 4u);
    frame.OnButton(static_cast<ButtonType>(6));
    EXPECT_EQ(frame.GetCurrentIndex(), 4u);
}

TEST(Frame, ErrorCommandCoversTheCurrentPageAndCloseEndsWithoutAQuestion)
{
    FillWorkingFolder();
    Frame frame;
    frame.OnButton(ButtonType::Next);
    frame.SendMessage(WM_COMMAND, IDM_SHOW_ERROR, 0);

    HWND errorPage = frame.GetErrorPage()->GetSafeHwnd();
    EXPECT_TRUE(IsWindowVisible(errorPage));
    EXPECT_FALSE(IsWindowVisible(frame.PageWindow(1)));
    EXPECT_EQ(frame.GetCurrentIndex(), 1u);
    EXPECT_EQ(ItemText(errorPage, IDC_ERROR_TITLE), L"Error");
    EXPECT_EQ(ItemText(errorPage, IDC_ERROR_TEXT), L"Error message");
    EXPECT_TRUE(HasSystemClose(frame));

    MessageBoxAnswerer answerer(IDCANCEL);
    SendMessageW(GetDlgItem(errorPage, IDC_CLOSE), BM_CLICK, 0, 0);
    Pump();
    EXPECT_FALSE(frame.IsWindow());
    EXPECT_TRUE(answerer.Texts().empty());
}

TEST(Frame, PageFailureShowsItsOwnTexts)
{
    Frame frame;
    frame.ShowErrorPage(L"Something went wrong", L"Please try to download later");
    HWND errorPage = frame.GetErrorPage()->GetSafeHwnd();
    EXPECT_EQ(ItemText(errorPage, IDC_ERROR_TITLE), L"Something went wrong");
    EXPECT_EQ(ItemText(errorPage, IDC_ERROR_TEXT), L"Please try to download later");
    EXPECT_FALSE(IsWindowVisible(frame.PageWindow(0)));
    EXPECT_TRUE(frame.IsErrorShown());
    // The page's picture (decoded only when the page is first shown) is painted: its
    // control shows more than one colour.
    HWND picture = GetDlgItem(errorPage, IDC_PAGE_PICTURE);
    ASSERT_TRUE(picture);
    RedrawWindow(picture, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RECT area = {};
    GetClientRect(picture, &area);
    HDC dc = GetDC(picture);
    std::set<COLORREF> colours;
    for (int y = 0; y < area.bottom; y += 8)
        for (int x = 0; x < area.right; x += 8)
            colours.insert(GetPixel(dc, x, y));
    ReleaseDC(picture, dc);
    EXPECT_GT(colours.size(), 2u);
}

TEST(Frame, ClosingAsksAndCancelKeepsTheWizard)
{
    FillWorkingFolder();
    auto configuration = ConfigurationManager::GetInstance();
    Frame frame;
    {
        MessageBoxAnswerer answerer(IDCANCEL);
        frame.SendMessage(WM_CLOSE);
        ASSERT_EQ(answerer.Texts().size(), 1u);
        EXPECT_EQ(CString(answerer.Texts()[0].c_str()), frame.GetLanguageManager()->GetText("MSG_EXIT"));
        EXPECT_FALSE(frame.GetLanguageManager()->GetText("MSG_EXIT").IsEmpty());
        EXPECT_EQ(answerer.Captions()[0], L"");
    }
    EXPECT_TRUE(frame.IsWindowVisible());
    EXPECT_FALSE(configuration->closing);
    EXPECT_FALSE(DownloadManager::GetInstance()->m_cancel);
    EXPECT_TRUE(PathFileExistsW(configuration->workingFolder));

    MessageBoxAnswerer answerer(IDOK);
    frame.SendMessage(WM_CLOSE);
    Pump();
    EXPECT_EQ(answerer.Texts().size(), 1u);
    EXPECT_FALSE(frame.IsWindow());
    EXPECT_TRUE(configuration->closing);
    EXPECT_TRUE(DownloadManager::GetInstance()->m_cancel);
    EXPECT_FALSE(PathFileExistsW(configuration->workingFolder));
    configuration->closing = false;
    DownloadManager::GetInstance()->m_cancel = false;
}

TEST(Frame, ClosingOnTheLastPageAsksNothing)
{
    Frame frame;
    frame.OnButton(ButtonType::Next);
    frame.CompleteLoading();
    frame.ShowPage(frame.GetPages().size() - 1);
    MessageBoxAnswerer answerer(IDCANCEL);
    frame.SendMessage(WM_CLOSE);
    Pump();
    EXPECT_TRUE(answerer.Texts().empty());
    EXPECT_FALSE(frame.IsWindow());
    ConfigurationManager::GetInstance()->closing = false;
    DownloadManager::GetInstance()->m_cancel = false;
}

TEST(Frame, EnterAndEscapeInsideAPageKeepTheWizard)
{
    Frame frame;
    MessageBoxAnswerer answerer(IDCANCEL);
    frame.SendMessage(WM_COMMAND, IDOK, 0);
    frame.GetPages()[0]->SendMessage(WM_COMMAND, IDOK, 0);
    frame.GetPages()[0]->SendMessage(WM_COMMAND, IDCANCEL, 0);
    Pump();
    EXPECT_TRUE(frame.IsWindow());
    EXPECT_TRUE(answerer.Texts().empty());
}

TEST(Frame, FinishRemovesTheWorkingFolderAndEnds)
{
    FillWorkingFolder();
    Frame frame;
    frame.OnButton(ButtonType::Finish);
    Pump();
    EXPECT_FALSE(frame.IsWindow());
    EXPECT_FALSE(PathFileExistsW(ConfigurationManager::GetInstance()->workingFolder));
}

TEST(Frame, ASecondFrameRefusesToRun)
{
    Frame first;
    MessageBoxAnswerer answerer(IDOK);
    Frame second;
    ASSERT_EQ(answerer.Texts().size(), 1u);
    EXPECT_EQ(answerer.Texts()[0], L"Another setup is already running, please close it and try again");
    EXPECT_EQ(answerer.Captions()[0], L"Error");
    EXPECT_FALSE(second.IsWindow());
    EXPECT_TRUE(second.GetPages().empty());
    EXPECT_TRUE(first.IsWindow());
}

namespace {

// Switches the classic page sets on as the build options do, for one test.
class ClassicPageSets {
public:
    ClassicPageSets(bool flow, bool mode)
    {
        auto configuration = ConfigurationManager::GetInstance();
        m_flow = configuration->btClassicFlow;
        m_mode = configuration->btClassicMode;
        configuration->btClassicFlow = flow;
        configuration->btClassicMode = mode;
    }
    ~ClassicPageSets()
    {
        auto configuration = ConfigurationManager::GetInstance();
        configuration->btClassicFlow = m_flow;
        configuration->btClassicMode = m_mode;
    }

private:
    bool m_flow;
    bool m_mode;
};

// The page that shows now, by its name.
std::wstring Current(const Frame& frame)
{
    return frame.Names().at(frame.GetCurrentIndex());
}

} // namespace

// Each combination of the classic flags, walked with the buttons a user presses: the
// pages in their order, Back where it leads, the option boxes stored on Next only, and
// never a message box.
TEST(Frame, ClassicPageSetsRunInTheirOrder)
{
    struct Case {
        bool flow;
        bool mode;
    };
    for (const Case c : {Case{true, false}, Case{false, true}, Case{true, true}}) {
        SCOPED_TRACE(std::string("flow ") + (c.flow ? "on" : "off") + ", mode " + (c.mode ? "on" : "off"));
        ClassicPageSets sets(c.flow, c.mode);
        MessageBoxAnswerer answerer(IDOK);
        testing_support::ContentHostControl host;
        ASSERT_TRUE(host.Available());
        host.Reset();
        auto& flags = ConfigurationManager::GetInstance()->optionFlags;
        flags.fill(false);
        // The download page at the end of the walk saves into the working folder, which
        // an earlier Finish may have removed.
        FillWorkingFolder();

        Frame frame;
        EXPECT_EQ(IsWindowVisible(GetDlgItem(frame.PageWindow(0), IDC_LANGUAGE_LIST)) != FALSE, !c.flow);
        Click(frame.PageWindow(0), IDC_NEXT);
        ASSERT_TRUE(frame.Ready());
        frame.Ready()(std::vector<std::shared_ptr<Package>>(1));
        Pump();
        auto expected = ExpectedSequence();
        const size_t offer = c.flow && c.mode ? 4 : 3;
        expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(offer), L"ProductPage");
        ASSERT_EQ(frame.Names(), expected);
        ASSERT_EQ(frame.GetCurrentIndex(), 2u);
        for (int i = 0; i < 100 && host.Requests("/o").empty(); ++i)
            Sleep(50);
        ASSERT_EQ(host.Requests("/o").size(), 1u);

        if (c.flow) {
            // From the first page after loading, Back leads to the language page and Next
            // straight back, without loading again.
            if (c.mode) {
                EXPECT_EQ(Current(frame), L"WarningPageBTClassic");
                Click(frame.PageWindow(2), IDC_NEXT);
                EXPECT_EQ(Current(frame), L"LicensePage");
                Click(frame.PageWindow(3), IDC_BACK);
                EXPECT_EQ(Current(frame), L"WarningPageBTClassic");
            }
            Click(frame.PageWindow(2), IDC_BACK);
            EXPECT_EQ(frame.GetCurrentIndex(), 0u);
            Click(frame.PageWindow(0), IDC_NEXT);
            EXPECT_EQ(frame.GetCurrentIndex(), 2u);
            if (c.mode)
                Click(frame.PageWindow(2), IDC_NEXT);
            EXPECT_EQ(Current(frame), L"LicensePage");
            Click(frame.PageWindow(frame.GetCurrentIndex()), IDC_AGREE);
        } else {
            EXPECT_EQ(Current(frame), L"WelcomePage");
            Click(frame.PageWindow(2), IDC_NEXT);
        }
        EXPECT_EQ(Current(frame), L"ProductPage");
        Click(frame.PageWindow(frame.GetCurrentIndex()), IDC_ACCEPT);

        if (c.mode) {
            EXPECT_EQ(Current(frame), L"OptionsPageBTClassic");
            const size_t options = frame.GetCurrentIndex();
            Click(frame.PageWindow(options), IDC_NEXT);
            EXPECT_EQ(Current(frame), L"ConfigurationsPageBTClassic");
            EXPECT_EQ(flags, (std::array<bool, 8>{true, true, true, false, false, false, false, false}));
            Click(frame.PageWindow(options + 1), IDC_BACK);
            EXPECT_EQ(frame.GetCurrentIndex(), options);
            Click(frame.PageWindow(options), IDC_NEXT);
            SendMessageW(GetDlgItem(frame.PageWindow(options + 1), IDC_CONFIGURATION_1), BM_CLICK, 0, 0);
            // The download page starts on Next; it is as far as this walk goes.
            Click(frame.PageWindow(options + 1), IDC_NEXT);
            EXPECT_EQ(flags, (std::array<bool, 8>{true, true, true, false, true, true, true, true}));
        } else {
            EXPECT_EQ(flags, (std::array<bool, 8>{}));
        }
        EXPECT_EQ(Current(frame), DownloadType ? L"DownloadPageDLM" : L"DownloadPageISV");
        Sleep(200);
        EXPECT_EQ(host.Requests("/o").size(), 1u) << "one configuration request for the whole run";
        EXPECT_TRUE(answerer.Texts().empty()) << testing::PrintToString(answerer.Texts());
        ConfigurationManager::GetInstance()->closing = true;
        frame.DestroyWindow();
        ConfigurationManager::GetInstance()->closing = false;
        flags.fill(false);
    }
}
