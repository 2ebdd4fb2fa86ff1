#include "config/BuildSettings.h"
#include "config/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "res/resource.h"
#include "shell/COrvaneDlg.h"
#include "tests/unit/shell/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using gui_test::ItemText;
using gui_test::Pump;

namespace {

const bool DownloadType = std::string(build::WizardTypeName) == "DLM";

class Frame : public COrvaneDlg {
public:
    Frame()
    {
        gui_test::PrepareProcess();
        Create(IDD_ORVANE_DIALOG, nullptr);
        Pump();
    }
    HWND Page(size_t index) const { return GetPages().at(index)->GetSafeHwnd(); }
};

} // namespace

TEST(LanguagePage, ShowsTheChosenLanguageAndRefreshesEveryPageOnAChange)
{
    Frame frame;
    HWND page = frame.Page(0);
    HWND errorPage = frame.GetErrorPage()->GetSafeHwnd();
    auto& texts = *frame.GetLanguageManager();
    HWND list = GetDlgItem(page, IDC_LANGUAGE_LIST);
    ASSERT_GT(SendMessageW(list, CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(IsWindowVisible(list) != FALSE, !build::ClassicFlow);

    // At first display every text is the preselected language's.
    EXPECT_EQ(ItemText(page, IDC_NEXT), texts.GetText("BUTTON_NEXT"));
    EXPECT_FALSE(texts.GetText("BUTTON_NEXT").IsEmpty());
    if (!build::ClassicFlow) {
        EXPECT_EQ(ItemText(page, IDC_SPLASH_TEXT), texts.GetText("SPLASH_TEXT"));
    }
    EXPECT_EQ(ItemText(errorPage, IDC_CLOSE), texts.GetText("BUTTON_CLOSE"));
    EXPECT_EQ(SendMessageW(page, DM_GETDEFID, 0, 0), MAKELRESULT(IDC_NEXT, DC_HASDEFID));

    // Another language: this page and the hidden error page change at once.
    int other = SendMessageW(list, CB_GETCURSEL, 0, 0) == 0 ? (DownloadType ? 6 : 1) : 0;
    CString closeBefore = ItemText(errorPage, IDC_CLOSE);
    SendMessageW(list, CB_SETCURSEL, other, 0);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_LANGUAGE_LIST, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    EXPECT_NE(ItemText(errorPage, IDC_CLOSE), closeBefore);
    EXPECT_EQ(ItemText(errorPage, IDC_CLOSE), texts.GetText("BUTTON_CLOSE"));
    EXPECT_EQ(ItemText(page, IDC_NEXT), texts.GetText("BUTTON_NEXT"));
    wchar_t chosen[64] = {};
    SendMessageW(list, CB_GETLBTEXT, other, reinterpret_cast<LPARAM>(chosen));
    EXPECT_EQ(ConfigurationManager::GetInstance()->languageName, chosen);

    // Next goes to the loading page.
    SendMessageW(GetDlgItem(page, IDC_NEXT), BM_CLICK, 0, 0);
    EXPECT_EQ(frame.GetCurrentIndex(), 1u);
}
