#include "framework/CDialogEx.h"
#include "res/resource.h"
#include "tests/unit/shell/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// The About box template, driven by a dialog class of the test's own.
class ProbeDialog : public CDialogEx {
public:
    explicit ProbeDialog(CWnd* parent = nullptr) : CDialogEx(IDD_ABOUTBOX, parent) {}
    CString m_version = L"probe 1";
    int m_commands = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, IDC_ABOUT_VERSION, m_version); }
    bool OnCommand(UINT id, UINT code, HWND control) override
    {
        ++m_commands;
        if (id == 4242)
            throw std::runtime_error("handler failed");
        if (id == 4243) {
            PostMessage(WM_COMMAND, IDOK);
            return true;
        }
        return CDialogEx::OnCommand(id, code, control);
    }
    HBRUSH OnCtlColor(HDC dc, CWnd* control, UINT kind) override { return CDialogEx::OnCtlColor(dc, control, kind); }
};

} // namespace

TEST(CDialogEx, ExchangesDataBothWays)
{
    gui_test::PrepareProcess();
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(IDD_ABOUTBOX));
    EXPECT_EQ(gui_test::ItemText(dialog, IDC_ABOUT_VERSION), L"probe 1");
    SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, L"typed");
    dialog.UpdateData(TRUE);
    EXPECT_EQ(dialog.m_version, L"typed");
}

TEST(CDialogEx, AFailingHandlerDoesNotLeaveTheWindowProcedure)
{
    gui_test::PrepareProcess();
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(IDD_ABOUTBOX));
    EXPECT_NO_THROW(dialog.SendMessage(WM_COMMAND, 4242));
    EXPECT_EQ(dialog.m_commands, 1);
    EXPECT_TRUE(dialog.IsWindow());
}

TEST(CDialogEx, BackgroundColourPaintsTheDialogAndItsStatics)
{
    gui_test::PrepareProcess();
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(IDD_ABOUTBOX));
    HDC dc = GetDC(dialog);
    dialog.SetBackgroundColor(RGB(250, 250, 250));
    auto brush = reinterpret_cast<HBRUSH>(
        dialog.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_ABOUT_VERSION))));
    ASSERT_NE(brush, nullptr);
    LOGBRUSH description = {};
    GetObjectW(brush, sizeof(description), &description);
    EXPECT_EQ(description.lbColor, RGB(250, 250, 250));
    EXPECT_EQ(GetBkColor(dc), RGB(250, 250, 250));
    auto dialogBrush = reinterpret_cast<HBRUSH>(
        dialog.SendMessage(WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(HWND(dialog))));
    EXPECT_EQ(dialogBrush, brush);
    ReleaseDC(dialog, dc);
}

TEST(CDialogEx, ModalDialogShowsWhateverItsTemplateSaysAndEndsWithTheResultGiven)
{
    gui_test::PrepareProcess();
    // The About box template has no WS_VISIBLE: a modal dialog is shown all the same,
    // while its owner is disabled.
    HWND owner = CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(owner);
    CWnd ownerWindow(owner);
    ProbeDialog dialog(&ownerWindow);
    struct Seen {
        HWND owner = nullptr;
        bool found = false;
        bool visible = false;
        bool ownerEnabled = true;
    };
    static Seen seen;
    seen = Seen();
    seen.owner = owner;
    // The command is handled inside the loop and ends it through OnOK.
    struct Poster {
        static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD)
        {
            KillTimer(nullptr, id);
            HWND box = FindWindowW(L"#32770", L"About Orvane");
            seen.found = box != nullptr;
            seen.visible = box && IsWindowVisible(box);
            seen.ownerEnabled = IsWindowEnabled(seen.owner) != FALSE;
            PostMessageW(box, WM_COMMAND, 4243, 0);
        }
    };
    SetTimer(nullptr, 0, 50, &Poster::Fire);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(seen.found);
    EXPECT_TRUE(seen.visible) << "the modal dialog stayed hidden";
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_FALSE(dialog.IsWindow());
    EXPECT_TRUE(IsWindowEnabled(owner));
    ownerWindow.Detach();
    DestroyWindow(owner);
}
