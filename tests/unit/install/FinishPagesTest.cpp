// The finish pages on a test host: what Finish starts, and the frame's minimize box.
#include "config/ConfigurationManager.h"
#include "install/FinishPageDlm.h"
#include "install/FinishPageIsv.h"
#include "res/resource.h"

#include "InstallFixtures.h"
#include "PageFixtures.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

void Click(HWND page, int id)
{
    SendMessageW(GetDlgItem(page, id), BM_CLICK, 0, 0);
}

bool HasMinimizeBox(HWND window)
{
    return (GetWindowLongPtrW(window, GWL_STYLE) & WS_MINIMIZEBOX) != 0;
}

} // namespace

TEST(FinishPages, DownloadTypeLaunchesTheDownloadedFile)
{
    PageConfiguration scope;
    auto configuration = ConfigurationManager::GetInstance();
    const CString file = scope.DownloadFolder() + L"\\Product Setup.exe";
    ASSERT_TRUE(CopyFakeInstaller(file));
    configuration->downloadedFilePath = file;
    {
        PageHost host;
        auto page = host.Make<FinishPageDlm>();
        EXPECT_EQ(SendMessageW(GetDlgItem(*page, IDC_LAUNCH_RADIO), BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_TRUE(HasMinimizeBox(host.Window()));
        page->OnNavigateToPage();
        EXPECT_FALSE(HasMinimizeBox(host.Window())) << "arriving takes the minimize box away";

        Click(*page, IDC_FINISH);
        EXPECT_EQ(host.buttons, std::vector<ButtonType>{ButtonType::Finish});
        EXPECT_NE(WaitForMarker(file).find(ToAnsi(file)), std::string::npos) << "the file itself was opened";
    }
    // Open Folder starts Explorer, which stays open and outlives the test program, so it
    // is pressed only in the end-to-end run; here only the choice itself is checked.
    PageHost host;
    auto page = host.Make<FinishPageDlm>();
    Click(*page, IDC_OPEN_FOLDER_RADIO);
    EXPECT_EQ(SendMessageW(GetDlgItem(*page, IDC_LAUNCH_RADIO), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(GetDlgItem(*page, IDC_OPEN_FOLDER_RADIO), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST(FinishPages, InstallerTypeStartsTheProductFromItsExpandedPathWhenTicked)
{
    PageConfiguration scope(true);
    auto configuration = ConfigurationManager::GetInstance();
    const auto placeholders = configuration->GetFolderPlaceholders();
    const auto localAppData = placeholders.find(L"localappdata");
    ASSERT_NE(localAppData, placeholders.end());
    const CString folder = CString(localAppData->second.c_str()) + L"\\OrvaneFinishTest";
    CreateDirectoryW(folder, nullptr);
    const CString program = folder + L"\\product.exe";
    ASSERT_TRUE(CopyFakeInstaller(program));
    const CString savedPath = configuration->finishLaunchPath;
    const CString savedArguments = configuration->finishLaunchArguments;
    configuration->finishLaunchPath = L"{localappdata}\\OrvaneFinishTest\\product.exe";
    configuration->finishLaunchArguments = L"--first-run";

    for (bool ticked : {false, true}) {
        SCOPED_TRACE(ticked ? "ticked" : "cleared");
        DeleteFileW(folder + L"\\product.marker");
        PageHost host;
        auto page = host.Make<FinishPageIsv>();
        EXPECT_EQ(SendMessageW(GetDlgItem(*page, IDC_LAUNCH_CHECKBOX), BM_GETCHECK, 0, 0), BST_CHECKED);
        page->OnNavigateToPage();
        EXPECT_FALSE(HasMinimizeBox(host.Window()));
        if (!ticked)
            Click(*page, IDC_LAUNCH_CHECKBOX);

        Click(*page, IDC_FINISH);
        EXPECT_EQ(host.buttons, std::vector<ButtonType>{ButtonType::Finish});
        if (ticked) {
            EXPECT_EQ(WaitForMarker(program), "\"" + ToAnsi(program) + "\" --first-run");
        } else {
            Sleep(500);
            EXPECT_TRUE(ReadMarker(program).empty()) << "nothing starts with the box cleared";
        }
    }
    configuration->finishLaunchPath = savedPath;
    configuration->finishLaunchArguments = savedArguments;
    RemoveTree(folder);
}
