// The wizard as a user meets it, in the type it was built as.
#include "config/BuildSettings.h"
#include "res/resource.h"
#include "tests/e2e/WizardDriver.h"
#include "win32/UniqueResource.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>

using namespace e2e;

namespace {

const bool DownloadType = std::string(build::WizardTypeName) == "DLM";
const std::wstring TypeName = DownloadType ? L"dlm" : L"isv";
// The installer type's product title, built into the program.
const std::wstring InstallerProductTitle = L"Tarvinel";

// Working folders that appeared since the list was taken.
std::vector<std::wstring> NewFolders(const std::vector<std::wstring>& before)
{
    std::vector<std::wstring> added;
    for (const auto& folder : WorkingFolders())
        if (std::find(before.begin(), before.end(), folder) == before.end())
            added.push_back(folder);
    return added;
}

// Checks the display inside the frame's bottom band has the band's colour.
COLORREF BandPixel(HWND frame)
{
    RECT band;
    GetWindowRect(GetDlgItem(frame, IDC_FRAME_BAND), &band);
    return ScreenPixel(band.left + 3, band.bottom - 3);
}

} // namespace

TEST(Wizard, FirstPageShowsTheFrameWithItsTitleAndBand)
{
    WizardProcess wizard;
    ASSERT_TRUE(wizard.Start());
    HWND frame = WaitForFrame(wizard);
    ASSERT_TRUE(frame);
    HWND page = WaitForPage(frame, L"LanguagePage");
    ASSERT_TRUE(page);
    EXPECT_EQ(WindowText(frame), DownloadType ? L"Setup" : InstallerProductTitle + L" ");
    EXPECT_EQ(ItemText(page, IDC_NEXT), L"Next");
    auto languages = ComboItems(VisibleItem(page, IDC_LANGUAGE_LIST));
    ASSERT_FALSE(languages.empty());
    EXPECT_EQ(languages.at(0), L"English");
    std::this_thread::sleep_for(Milliseconds(500));
    EXPECT_EQ(BandPixel(frame), RGB(2, 119, 189));
    EXPECT_FALSE(SaveScreenshot(TypeName + L"-first-page").empty());
}

TEST(Wizard, TheSystemMenuOpensTheAboutBox)
{
    WizardProcess wizard;
    ASSERT_TRUE(wizard.Start());
    HWND frame = WaitForFrame(wizard);
    ASSERT_TRUE(frame);
    PostMessageW(frame, WM_SYSCOMMAND, 0x0010, 0);
    // The box shows, and the frame waits for it.
    HWND about = WaitForDialog(wizard, L"About Orvane");
    ASSERT_TRUE(about) << "no visible About box";
    EXPECT_FALSE(IsWindowEnabled(frame));
    EXPECT_EQ(ItemText(about, IDC_ABOUT_VERSION).find(L"Orvane, Version 3.0.13"), 0u) << ItemText(about, IDC_ABOUT_VERSION).size();
    SaveScreenshot(TypeName + L"-about-box");
    ASSERT_TRUE(Click(about, IDOK));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
    EXPECT_TRUE(IsWindowVisible(frame));
    EXPECT_TRUE(IsWindowEnabled(frame)) << "the frame no longer takes the mouse";
}

TEST(Wizard, ASecondCopyIsRefusedWhileTheFirstGoesOn)
{
    WizardProcess first;
    ASSERT_TRUE(first.Start());
    HWND frame = WaitForFrame(first);
    ASSERT_TRUE(frame);
    auto before = WorkingFolders();

    WizardProcess second;
    ASSERT_TRUE(second.Start(L"OrvaneSetup_ef34-gh.exe"));
    HWND box = WaitForMessageBox(second);
    ASSERT_TRUE(box);
    EXPECT_EQ(MessageBoxText(box), L"Another setup is already running, please close it and try again");
    EXPECT_EQ(WindowText(box), L"Error");
    SaveScreenshot(TypeName + L"-second-copy");
    AnswerMessageBox(box, IDOK);
    EXPECT_TRUE(second.WaitForExit(DefaultWait));
    EXPECT_TRUE(WaitForFrame(second, Milliseconds(0)) == nullptr);
    // The refused copy leaves no working folder behind.
    EXPECT_TRUE(NewFolders(before).empty());

    EXPECT_TRUE(first.IsRunning());
    EXPECT_TRUE(IsWindowVisible(frame));
    EXPECT_EQ(PageName(VisiblePage(frame)), L"LanguagePage");
}

// Another process may hold the single-instance name in a way the wizard cannot take:
// as another kind of object, or as a mutex whose access list lets nobody open it. The
// wizard never waits for it: it starts as usual or, when it can see a mutex of that
// name, tells the user another setup runs and ends.
TEST(Wizard, AnInstanceNameHeldAgainstItNeverStopsTheWizard)
{
    const std::wstring name = L"Global\\Orvane" + std::wstring(TypeName == L"dlm" ? L"DLM" : L"ISV") +
                              L"SingleInstanceMutex";
    // Nobody, not even the owner, may open the mutex for use.
    SECURITY_DESCRIPTOR denying = {};
    ASSERT_TRUE(InitializeSecurityDescriptor(&denying, SECURITY_DESCRIPTOR_REVISION));
    ACL empty = {};
    ASSERT_TRUE(InitializeAcl(&empty, sizeof(empty), ACL_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&denying, TRUE, &empty, FALSE));
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &denying, FALSE};

    struct Case {
        const char* what;
        std::function<HANDLE()> hold;
        bool isMutex;
    };
    const Case cases[] = {
        {"an event of that name", [&] { return CreateEventW(nullptr, TRUE, FALSE, name.c_str()); }, false},
        {"a semaphore of that name", [&] { return CreateSemaphoreW(nullptr, 0, 1, name.c_str()); }, false},
        {"a mutex nobody may open", [&] { return CreateMutexW(&attributes, TRUE, name.c_str()); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        win32::unique_handle held(c.hold());
        ASSERT_TRUE(held);
        // Where the system keeps to the list, the wizard cannot open the mutex and starts;
        // where it lets the user's processes open it anyway (Wine does), the wizard sees
        // a running setup.
        bool seen = false;
        if (c.isMutex) {
            win32::unique_handle again(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name.c_str()));
            seen = again.is_valid();
        }
        WizardProcess wizard;
        ASSERT_TRUE(wizard.Start());
        if (seen) {
            HWND box = WaitForMessageBox(wizard);
            ASSERT_TRUE(box);
            EXPECT_EQ(MessageBoxText(box), L"Another setup is already running, please close it and try again");
            AnswerMessageBox(box, IDOK);
            EXPECT_TRUE(wizard.WaitForExit(DefaultWait));
            continue;
        }
        HWND frame = WaitForFrame(wizard);
        ASSERT_TRUE(frame);
        EXPECT_TRUE(WaitForPage(frame, L"LanguagePage"));
        EXPECT_EQ(FindMessageBox(wizard.Id()), nullptr);
        wizard.Kill();
    }
}

TEST(Wizard, ClosingOnTheFirstPageAsksAndCancelKeepsTheWizard)
{
    auto before = WorkingFolders();
    WizardProcess wizard;
    ASSERT_TRUE(wizard.Start());
    HWND frame = WaitForFrame(wizard);
    ASSERT_TRUE(frame);
    ASSERT_EQ(NewFolders(before).size(), 1u);

    PostMessageW(frame, WM_CLOSE, 0, 0);
    HWND box = WaitForMessageBox(wizard);
    ASSERT_TRUE(box);
    EXPECT_EQ(MessageBoxText(box), L"Are you sure you want to exit the installer?");
    EXPECT_EQ(WindowText(box), L"");
    AnswerMessageBox(box, IDCANCEL);
    EXPECT_TRUE(WaitUntil([&] { return FindMessageBox(wizard.Id()) == nullptr; }));
    EXPECT_FALSE(wizard.WaitForExit(Milliseconds(1000)));
    EXPECT_TRUE(IsWindowVisible(frame));
    EXPECT_EQ(PageName(VisiblePage(frame)), L"LanguagePage");

    PostMessageW(frame, WM_CLOSE, 0, 0);
    box = WaitForMessageBox(wizard);
    ASSERT_TRUE(box);
    AnswerMessageBox(box, IDOK);
    EXPECT_TRUE(wizard.WaitForExit(DefaultWait));
    EXPECT_TRUE(NewFolders(before).empty());
}

TEST(Wizard, EnterNeverEndsTheWizardAndPressesNextOnTheLanguagePage)
{
    WizardProcess wizard;
    ASSERT_TRUE(wizard.Start());
    HWND frame = WaitForFrame(wizard);
    ASSERT_TRUE(WaitForPage(frame, L"LanguagePage"));

    PostMessageW(frame, WM_COMMAND, IDOK, 0);
    PressKey(wizard, VK_RETURN);
    EXPECT_TRUE(WaitForPage(frame, L"LoadingPage"));
    PressKey(wizard, VK_RETURN);
    PressKey(wizard, VK_ESCAPE);
    EXPECT_FALSE(wizard.WaitForExit(Milliseconds(1000)));
    EXPECT_TRUE(IsWindowVisible(frame));
    EXPECT_EQ(FindMessageBox(wizard.Id()), nullptr);
}

TEST(Wizard, TheErrorCommandShowsTheErrorPageAndItsCloseEndsWithoutAQuestion)
{
    auto before = WorkingFolders();
    WizardProcess wizard;
    ASSERT_TRUE(wizard.Start());
    HWND frame = WaitForFrame(wizard);
    ASSERT_TRUE(WaitForPage(frame, L"LanguagePage"));
    ASSERT_EQ(NewFolders(before).size(), 1u);

    PostMessageW(frame, WM_COMMAND, IDM_SHOW_ERROR, 0);
    HWND page = WaitForPage(frame, L"ErrorPage");
    ASSERT_TRUE(page);
    EXPECT_EQ(ItemText(page, IDC_ERROR_TITLE), L"Error");
    EXPECT_EQ(ItemText(page, IDC_ERROR_TEXT), L"Error message");
    EXPECT_EQ(ItemText(page, IDC_CLOSE), L"Close");
    std::this_thread::sleep_for(Milliseconds(300));
    SaveScreenshot(TypeName + L"-error-page");

    ASSERT_TRUE(Click(page, IDC_CLOSE));
    DWORD exitCode = 0;
    EXPECT_TRUE(wizard.WaitForExit(DefaultWait, &exitCode));
    EXPECT_EQ(FindMessageBox(wizard.Id()), nullptr);
    EXPECT_TRUE(NewFolders(before).empty());
}

// The language list follows the user's locale, and every text is in that language at
// first display. The locale comes from LC_ALL of the test run (one run per language),
// which the wizard inherits; ORVANE_E2E_LANGUAGE names the language expected.
TEST(LanguageByLocale, TheLanguagePageFollowsTheUsersLocale)
{
    struct Case {
        const wchar_t* language;
        const wchar_t* dlmName;
        size_t dlmIndex;
        const wchar_t* dlmNext;
    } cases[] = {
        {L"english", L"English", 0, L"Next"},
        {L"german", L"Deutsch", 6, L"Weiter"},
        {L"russian", nullptr, 12, L"Далее"},
    };
    wchar_t language[32] = {};
    GetEnvironmentVariableW(L"ORVANE_E2E_LANGUAGE", language, 32);
    const Case* expected = nullptr;
    for (const auto& c : cases)
        if (wcscmp(c.language, language) == 0)
            expected = &c;
    ASSERT_TRUE(expected) << "ORVANE_E2E_LANGUAGE names none of the languages of this test";

    WizardProcess wizard;
    ASSERT_TRUE(wizard.Start());
    HWND frame = WaitForFrame(wizard);
    HWND page = WaitForPage(frame, L"LanguagePage");
    ASSERT_TRUE(page);
    HWND list = VisibleItem(page, IDC_LANGUAGE_LIST);
    ASSERT_TRUE(list);
    auto items = ComboItems(list);
    int selected = ComboSelection(list);
    ASSERT_GE(selected, 0);
    if (DownloadType) {
        ASSERT_EQ(items.size(), 14u);
        EXPECT_EQ(items[3], items[11]);
        EXPECT_EQ(static_cast<size_t>(selected), expected->dlmIndex);
        if (expected->dlmName) {
            EXPECT_EQ(items[static_cast<size_t>(selected)], expected->dlmName);
        }
        EXPECT_EQ(ItemText(page, IDC_NEXT), expected->dlmNext);
    } else {
        // The installer type carries English and Spanish only: other users get the first.
        ASSERT_EQ(items.size(), 2u);
        EXPECT_EQ(selected, 0);
        EXPECT_EQ(ItemText(page, IDC_NEXT), L"Next");
    }
    std::this_thread::sleep_for(Milliseconds(300));
    EXPECT_FALSE(SaveScreenshot(TypeName + L"-language-" + language).empty());
}
