// Whole runs of the real wizard, from the language page to its end: what it downloads
// from the content host, which installers it starts with which arguments, what it
// reports, and how it ends.
#include "config/BuildSettings.h"
#include "tests/common/ZipBuilder.h"
#include "tests/e2e/FullRun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace e2e;
using testing_support::ZipBuilder;

namespace {

const bool DownloadType = std::string(build::WizardTypeName) == "DLM";

} // namespace

TEST_F(FullRun, TheProductAloneLandsInDownloadsAndLaunchRunsIt)
{
    if (!DownloadType)
        GTEST_SKIP() << "the download type's run";
    const std::wstring saved = SaveProductInDownloads();
    m_productUrl = Files + Serve("e2e/product.exe", m_installer);
    Publish(json::array());

    HWND page = RunToDownload();
    ASSERT_TRUE(page);
    HWND finish = WaitForPage(m_frame, L"FinishPageDLM", Milliseconds(30000));
    ASSERT_TRUE(finish) << PageName(VisiblePage(m_frame));
    EXPECT_EQ(ReadBytes(saved), m_installer);
    EXPECT_EQ(WaitForOutcomes(1), std::vector<std::string>{"main 3"});
    EXPECT_TRUE(Markers().empty()) << "the download type starts nothing before Finish";
    // The finish page has no minimize box.
    EXPECT_EQ(GetWindowLongW(m_frame, GWL_STYLE) & WS_MINIMIZEBOX, 0);
    const auto working = WorkingFolders();

    // Launch is chosen at first: Finish opens the downloaded file.
    ASSERT_EQ(SendMessageW(GetDlgItem(finish, IDC_LAUNCH_RADIO), BM_GETCHECK, 0, 0), BST_CHECKED);
    ASSERT_TRUE(Click(finish, IDC_FINISH));
    EXPECT_TRUE(m_wizard.WaitForExit(DefaultWait));
    const std::string marker = WaitForMarker(L"OrvaneDemo-" + std::wstring(m_name.begin(), m_name.end()) + L".exe");
    EXPECT_NE(marker.find(m_productFile), std::string::npos) << marker;
    for (const auto& folder : working)
        EXPECT_FALSE(Exists(folder)) << "Finish removes the working folder";
}

TEST_F(FullRun, AcceptedOffersStartWithTheirArgumentsAndAFailedOneIsReported)
{
    if (!DownloadType)
        GTEST_SKIP() << "the download type's run";
    const std::wstring saved = SaveProductInDownloads();
    // A slow product, so the download page can be seen at work.
    m_productUrl = Files + Serve("e2e/product.exe", m_installer, 150);
    Serve("e2e/quill.exe", m_installer);
    Serve("e2e/bundle.zip", ZipBuilder().Add("readme.txt", "read me").Add("bundle_setup.exe", m_installer).Bytes());
    Publish(json::array({Offer("offer-quill", "Quill Notes", "e2e/quill.exe", "/silent /ref=e2e", 1),
                         Offer("offer-bundle", "Harbor Bundle", "e2e/bundle.zip", "/quiet", 2),
                         Offer("offer-gone", "Gone Tools", "e2e/gone.exe", "/s", 3)}));

    HWND page = RunToDownload(L"dlm-run");
    ASSERT_TRUE(page);
    EXPECT_EQ(PageName(page), L"DownloadPage");
    EXPECT_FALSE(CloseButtonLooksEnabled(m_frame)) << "no Close while the download page works";
    Sleep(1000);
    SaveScreenshot(L"dlm-run-5-download");
    HWND finish = WaitForPage(m_frame, L"FinishPageDLM", Milliseconds(60000));
    ASSERT_TRUE(finish) << PageName(VisiblePage(m_frame));
    EXPECT_TRUE(CloseButtonLooksEnabled(m_frame)) << "Close is back on the finish page";
    SaveScreenshot(L"dlm-run-6-finish");

    const std::string quill = WaitForMarker(L"quill.exe");
    EXPECT_NE(quill.find("quill.exe\" /silent /ref=e2e"), std::string::npos) << quill;
    const std::string bundle = WaitForMarker(L"bundle_setup.exe");
    EXPECT_NE(bundle.find("\\bundle\\bundle_setup.exe\" /quiet"), std::string::npos) << bundle << testing::PrintToString(Markers());
    EXPECT_EQ(Marker(L"gone.exe"), "");
    const auto outcomes = WaitForOutcomes(4);
    ASSERT_EQ(outcomes.size(), 4u) << testing::PrintToString(outcomes) << m_host.Events().dump();
    EXPECT_EQ(outcomes[0], "main 3");
    EXPECT_EQ(outcomes[1], "offer-bundle 3");
    EXPECT_EQ(outcomes[2].rfind("offer-gone -1 DOWNLOAD FAILED: ", 0), 0u) << outcomes[2];
    EXPECT_EQ(outcomes[3], "offer-quill 3");

    // Open Folder asks Explorer to show the file.
    const auto working = WorkingFolders();
    SendMessageW(GetDlgItem(finish, IDC_OPEN_FOLDER_RADIO), BM_CLICK, 0, 0);
    ASSERT_TRUE(Click(finish, IDC_FINISH));
    EXPECT_TRUE(m_wizard.WaitForExit(DefaultWait));
    HWND explorer = nullptr;
    EXPECT_TRUE(WaitUntil([&] {
        explorer = FindWindowW(L"ExplorerWClass", nullptr);
        return explorer != nullptr;
    }));
    if (explorer) {
        printf("explorer: %ls\n", WindowText(explorer).c_str());
        PostMessageW(explorer, WM_CLOSE, 0, 0);
    }
    for (const auto& folder : working)
        EXPECT_FALSE(Exists(folder)) << "Finish removes the working folder";
}

TEST_F(FullRun, AProductThatCannotBeDownloadedLeavesNothingAndEndsOnTheErrorPage)
{
    if (!DownloadType)
        GTEST_SKIP() << "the download type's run";
    const std::wstring saved = SaveProductInDownloads();
    // Neither way of downloading finds the product.
    m_productUrl = Files + "e2e/missing.exe";
    Serve("e2e/quill.exe", m_installer);
    Publish(json::array({Offer("offer-quill", "Quill Notes", "e2e/quill.exe", "/silent", 1)}));

    ASSERT_TRUE(RunToDownload());
    HWND error = WaitForPage(m_frame, L"ErrorPage", Milliseconds(60000));
    ASSERT_TRUE(error) << PageName(VisiblePage(m_frame));
    EXPECT_EQ(ItemText(error, IDC_ERROR_TITLE), L"Error in downloading");
    EXPECT_TRUE(CloseButtonLooksEnabled(m_frame));
    SaveScreenshot(L"dlm-run-download-error");
    // The offers still went their way before the error showed.
    EXPECT_NE(WaitForMarker(L"quill.exe").find("quill.exe\" /silent"), std::string::npos);
    const auto outcomes = WaitForOutcomes(2);
    ASSERT_EQ(outcomes.size(), 2u) << testing::PrintToString(outcomes);
    EXPECT_EQ(outcomes[0].rfind("main 3 DOWNLOAD FAILED: ", 0), 0u) << outcomes[0];
    EXPECT_EQ(outcomes[1], "offer-quill 3");
    EXPECT_FALSE(Exists(saved));
    EXPECT_FALSE(Exists(saved + L".part"));
    EXPECT_EQ(m_host.Requests("/f/e2e/missing.exe").size(), 2u) << "one try each way";

    ASSERT_TRUE(Click(error, IDC_CLOSE));
    EXPECT_TRUE(m_wizard.WaitForExit(DefaultWait));
}

TEST_F(FullRun, QuittingDuringTheDownloadStartsNothingMoreAndReportsTheRun)
{
    // A product that takes a minute to arrive.
    const std::string product = Serve("product/OrvaneDemo.exe", m_installer, 1000);
    m_productUrl = Files + product;
    Serve("e2e/quill.exe", m_installer);
    Publish(json::array({Offer("offer-quill", "Quill Notes", "e2e/quill.exe", "/silent", 1)}));

    HWND page = RunToDownload();
    ASSERT_TRUE(page);
    ASSERT_EQ(PageName(page), L"DownloadPage");
    ASSERT_TRUE(WaitUntil([&] { return !m_host.Requests("/f/" + product).empty(); }));
    PostMessageW(m_frame, WM_CLOSE, 0, 0);
    HWND box = WaitForMessageBox(m_wizard);
    ASSERT_TRUE(box);
    EXPECT_EQ(MessageBoxText(box), L"Are you sure you want to exit the installer?");
    AnswerMessageBox(box, IDOK);
    EXPECT_TRUE(m_wizard.WaitForExit(Milliseconds(30000)));

    // The closing report covers the product and the offer shown; nothing else started.
    EXPECT_EQ(EventsOfKind("5"), 2u) << m_host.Events().dump();
    EXPECT_TRUE(Outcomes().empty()) << testing::PrintToString(Outcomes());
    EXPECT_TRUE(m_host.Requests("/f/e2e/quill.exe").empty());
    Sleep(500);
    EXPECT_TRUE(Markers().empty());
}

TEST_F(FullRun, TheInstallerTypeWaitsForTheProductThenStartsTheOffersAndLaunchesIt)
{
    if (DownloadType)
        GTEST_SKIP() << "the installer type's run";
    // The product's installer is the one built in; it runs for a while.
    Serve("product/OrvaneDemo.exe", m_installer);
    Serve("e2e/quill.exe", m_installer);
    Serve("e2e/bundle.zip", ZipBuilder().Add("bundle_setup.exe", m_installer).Bytes());
    Publish(json::array({Offer("offer-quill", "Quill Notes", "e2e/quill.exe", "/silent", 1),
                         Offer("offer-bundle", "Harbor Bundle", "e2e/bundle.zip", "/quiet", 2)}));
    SetEnvironmentVariableW(L"ORVANE_FAKE_SLEEP_MS", L"2500");
    // What the finish page starts: the product as its installer would have put it.
    const std::wstring installed = KnownFolder(FOLDERID_LocalAppData) + L"\\OrvaneDemo";
    CreateDirectoryW(installed.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((OwnFolder() + L"\\fake_installer.exe").c_str(), (installed + L"\\OrvaneDemo.exe").c_str(),
                          FALSE));

    HWND page = RunToDownload(L"isv-run");
    ASSERT_TRUE(page);
    ASSERT_EQ(PageName(page), L"DownloadPage");
    EXPECT_FALSE(CloseButtonLooksEnabled(m_frame));
    // While the product's installer runs, closing warns of the installers and the
    // offers wait for it.
    ASSERT_TRUE(WaitUntil([&] { return Exists(m_markers + L"\\OrvaneDemo.started"); }));
    SaveScreenshot(L"isv-run-5-installing");
    PostMessageW(m_frame, WM_CLOSE, 0, 0);
    HWND box = WaitForMessageBox(m_wizard);
    ASSERT_TRUE(box);
    EXPECT_EQ(MessageBoxText(box), L"Some installer processes are already running in the background and will "
                                   L"finish momentarily. Are you sure you would like to exit?");
    AnswerMessageBox(box, IDCANCEL);
    EXPECT_EQ(Marker(L"quill.exe"), "");
    EXPECT_FALSE(Exists(m_markers + L"\\quill.started"));

    HWND finish = WaitForPage(m_frame, L"FinishPageISV", Milliseconds(30000));
    ASSERT_TRUE(finish) << PageName(VisiblePage(m_frame));
    SaveScreenshot(L"isv-run-6-finish");
    EXPECT_TRUE(CloseButtonLooksEnabled(m_frame));
    EXPECT_NE(Marker(L"OrvaneDemo.exe").find("OrvaneDemo.exe\" /S"), std::string::npos) << Marker(L"OrvaneDemo.exe");
    EXPECT_NE(WaitForMarker(L"quill.exe").find("quill.exe\" /silent"), std::string::npos);
    EXPECT_NE(WaitForMarker(L"bundle_setup.exe").find("bundle_setup.exe\" /quiet"), std::string::npos);
    EXPECT_EQ(WaitForOutcomes(3), (std::vector<std::string>{"main 3", "offer-bundle 3", "offer-quill 3"}));

    // Finish with the box ticked starts the installed product and removes the working folder.
    const auto working = WorkingFolders();
    ASSERT_FALSE(working.empty());
    ASSERT_EQ(SendMessageW(GetDlgItem(finish, IDC_LAUNCH_CHECKBOX), BM_GETCHECK, 0, 0), BST_CHECKED);
    ASSERT_TRUE(Click(finish, IDC_FINISH));
    EXPECT_TRUE(m_wizard.WaitForExit(DefaultWait));
    std::string launched;
    EXPECT_TRUE(WaitUntil([&] {
        launched = Marker(L"OrvaneDemo.exe");
        return launched.find("\\OrvaneDemo\\OrvaneDemo.exe") != std::string::npos;
    })) << launched;
    for (const auto& folder : working)
        EXPECT_FALSE(Exists(folder)) << "Finish removes the working folder";
    RemoveTree(installed);
}

TEST_F(FullRun, AFailingProductInstallerEndsOnTheErrorPageAfterTheOffers)
{
    if (DownloadType)
        GTEST_SKIP() << "the installer type's run";
    Serve("product/OrvaneDemo.exe", m_installer);
    Serve("e2e/quill.exe", m_installer);
    Publish(json::array({Offer("offer-quill", "Quill Notes", "e2e/quill.exe", "/silent", 1)}));
    SetEnvironmentVariableW(L"ORVANE_FAKE_EXIT_CODE", L"1");

    ASSERT_TRUE(RunToDownload());
    HWND error = WaitForPage(m_frame, L"ErrorPage", Milliseconds(30000));
    ASSERT_TRUE(error) << PageName(VisiblePage(m_frame));
    EXPECT_EQ(ItemText(error, IDC_ERROR_TITLE), L"Error occurred while installing Tarvinel.");
    SaveScreenshot(L"isv-run-install-error");
    EXPECT_NE(WaitForMarker(L"quill.exe").find("quill.exe\" /silent"), std::string::npos);
    EXPECT_EQ(WaitForOutcomes(2),
              (std::vector<std::string>{"main 3 EXEC FAILED: exit code = 1", "offer-quill 3"}));
    ASSERT_TRUE(Click(error, IDC_CLOSE));
    EXPECT_TRUE(m_wizard.WaitForExit(DefaultWait));
}

// Files named by their SHA-256 digest: the product with the right digest is kept; an
// offer whose file differs by one byte is removed, never started, and reported.
TEST_F(FullRun, AFileThatDoesNotMatchItsDigestIsNeitherKeptNorRun)
{
    if (!DownloadType)
        GTEST_SKIP() << "the download type's run";
    const std::wstring saved = SaveProductInDownloads();
    m_productUrl = Files + Serve("e2e/product.exe", m_installer);
    m_productSha256 = Sha256(m_installer);
    std::string changed = m_installer;
    changed[changed.size() / 2] = static_cast<char>(changed[changed.size() / 2] ^ 0x20);
    Serve("e2e/quill.exe", changed);
    json quill = Offer("offer-quill", "Quill Notes", "e2e/quill.exe", "/silent", 1);
    quill["ps"]["sha256"] = m_productSha256;
    Publish(json::array({quill}));

    ASSERT_TRUE(RunToDownload());
    HWND finish = WaitForPage(m_frame, L"FinishPageDLM", Milliseconds(30000));
    ASSERT_TRUE(finish) << PageName(VisiblePage(m_frame));
    EXPECT_EQ(ReadBytes(saved), m_installer);
    const auto outcomes = WaitForOutcomes(2);
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[0], "main 3");
    const std::string mismatch = "The downloaded file does not match its SHA-256 digest: expected " + m_productSha256 +
                                 ", got " + Sha256(changed) + ".";
    EXPECT_EQ(outcomes[1], "offer-quill -1 DOWNLOAD FAILED: [WINHTTP] " + mismatch + " [WININET] " + mismatch);
    EXPECT_EQ(Marker(L"quill.exe"), "");
    for (const auto& folder : WorkingFolders())
        EXPECT_FALSE(Exists(folder + L"\\quill.exe")) << "the file that differs is removed";
    ASSERT_TRUE(Click(finish, IDC_FINISH));
    EXPECT_TRUE(m_wizard.WaitForExit(DefaultWait));
}
