// A whole run of the download-type program built with both classic page sets: the
// language page without its list, the warning and licence pages, the offers, the option
// pages, the download and finish pages, in the language of the user's locale. Only this
// program's driver runs these cases.
#include "config/BuildSettings.h"
#include "tests/e2e/FullRun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace e2e;

namespace {

// The language of the run (ORVANE_E2E_LANGUAGE), for the screenshots' names.
std::wstring RunLanguage()
{
    wchar_t language[32] = L"english";
    GetEnvironmentVariableW(L"ORVANE_E2E_LANGUAGE", language, 32);
    return language;
}

class ClassicRun : public FullRun {
protected:
    // Waits for the named page, with no message box of the wizard in the way; saves
    // a screenshot of it.
    HWND Reach(const std::wstring& name, const std::wstring& shot = std::wstring())
    {
        HWND page = nullptr;
        WaitUntil(
            [&] {
                page = WaitForPage(m_frame, name, Milliseconds(0));
                return page || FindMessageBox(m_wizard.Id());
            },
            Milliseconds(40000));
        EXPECT_TRUE(page) << name << " did not show; " << PageName(VisiblePage(m_frame)) << " shows";
        HWND box = FindMessageBox(m_wizard.Id());
        EXPECT_FALSE(box) << "message box: " << MessageBoxText(box);
        if (page && !shot.empty()) {
            Sleep(300);
            SaveScreenshot(L"classic-" + RunLanguage() + L"-" + shot);
        }
        return page;
    }
    // No text of the page is a template's stand-in.
    void ExpectRealTexts(HWND page)
    {
        for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            const std::wstring text = WindowText(child);
            EXPECT_EQ(text.find(L"placeholder"), std::wstring::npos) << PageName(page) << ": " << text;
        }
    }
};

} // namespace

TEST_F(ClassicRun, GoesThroughEveryClassicPage)
{
    ASSERT_TRUE(build::ClassicFlow && build::ClassicMode) << "the classic program's driver runs these cases";
    const std::wstring saved = SaveProductInDownloads();
    m_productUrl = Files + Serve("e2e/product.exe", m_installer);
    Serve("e2e/quill.exe", m_installer);
    Publish(json::array({Offer("offer-quill", "Quill Notes", "e2e/quill.exe", "/silent", 1)}));

    ASSERT_TRUE(m_wizard.Start());
    m_frame = WaitForFrame(m_wizard);
    HWND page = Reach(L"LanguagePageBT", L"1-language");
    ASSERT_TRUE(page);
    EXPECT_FALSE(VisibleItem(page, IDC_LANGUAGE_LIST)) << "the classic language page has no list";
    ExpectRealTexts(page);
    ASSERT_TRUE(Click(page, IDC_NEXT));

    // Each page in its order, with the button that goes on.
    const struct {
        const wchar_t* name;
        const wchar_t* shot;
        int next;
    } steps[] = {
        {L"WarningPageBTClassic", L"2-warning", IDC_NEXT},
        {L"LicensePage", L"3-licence", IDC_AGREE},
        {L"ProductPage", nullptr, IDC_ACCEPT},
        {L"OptionsPageBTClassic", L"4-options", IDC_NEXT},
        {L"ConfigurationsPageBTClassic", L"5-configurations", IDC_NEXT},
    };
    for (const auto& step : steps) {
        page = Reach(step.name, step.shot ? step.shot : L"");
        ASSERT_TRUE(page);
        if (step.shot)
            ExpectRealTexts(page);
        if (step.next == IDC_AGREE) {
            // The licence box has the focus, with nothing of its text selected.
            const DWORD selection = static_cast<DWORD>(SendMessageW(GetDlgItem(page, IDC_LICENSE_EULA), EM_GETSEL, 0, 0));
            EXPECT_EQ(LOWORD(selection), HIWORD(selection));
        }
        ASSERT_TRUE(Click(page, step.next)) << step.name;
    }

    HWND finish = Reach(L"FinishPageDLM", L"6-finish");
    ASSERT_TRUE(finish);
    EXPECT_EQ(WaitForMarker(L"quill.exe").find("quill.exe\" /silent") != std::string::npos, true);
    EXPECT_EQ(WaitForOutcomes(2), (std::vector<std::string>{"main 3", "offer-quill 3"}));
    EXPECT_EQ(ReadBytes(saved), m_installer);
    SendMessageW(GetDlgItem(finish, IDC_LAUNCH_RADIO), BM_SETCHECK, BST_UNCHECKED, 0);
    ASSERT_TRUE(Click(finish, IDC_FINISH));
    EXPECT_TRUE(m_wizard.WaitForExit(DefaultWait));
}
