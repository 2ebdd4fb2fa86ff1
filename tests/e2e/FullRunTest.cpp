// Whole runs of the real wizard, from the language page to its end: what it downloads
// from the content host, which installers it starts with which arguments (the stand-in
// installer writes a marker with its command line), what it reports, and how it ends.
#include "config/BuildSettings.h"
#include "res/resource.h"
#include "tests/common/ContentHostControl.h"
#include "tests/common/ZipBuilder.h"
#include "tests/e2e/WizardDriver.h"
#include "win32/ScopedGdi.h"
#include "win32/UniqueResource.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace e2e;
using nlohmann::json;
using testing_support::ContentHostControl;
using testing_support::ZipBuilder;

namespace {

const bool DownloadType = std::string(build::WizardTypeName) == "DLM";
const std::wstring TypeName = DownloadType ? L"dlm" : L"isv";
const std::string Files = "https://content.orvane.test/f/";

std::string ReadBytes(const std::wstring& path)
{
    win32::unique_hfile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!file)
        return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

std::wstring OwnFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    PathRemoveFileSpecW(path);
    return path;
}

std::wstring KnownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)))
        folder = path;
    CoTaskMemFree(path);
    return folder;
}

// Removes a folder and everything in it.
void RemoveTree(const std::wstring& folder)
{
    std::wstring from = folder + L'\0';
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// An offer of its own vertical (offers of one vertical exclude each other).
json Offer(const std::string& code, const std::string& name, const std::string& url, const std::string& arguments,
           int vertical)
{
    return {{"ad", {{"f", "feed-" + code}, {"o", code}}},
            {"ps",
             {{"i", "img/notes.png"},
              {"dn", name},
              {"u", url},
              {"p", arguments},
              {"v", vertical},
              {"cp", "https://www.orvane.test/privacy/" + code},
              {"ctu", "https://www.orvane.test/terms/" + code}}}};
}

// One run against the content host: the catalog it serves, the files it has, and the
// folder where the stand-in installers leave their markers (the wizard and everything it
// starts inherit the driver's environment).
class FullRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_host.Available());
        m_host.Reset();
        m_name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_markers = KnownFolder(FOLDERID_LocalAppData) + L"\\orvane-e2e-markers";
        RemoveTree(m_markers);
        ASSERT_TRUE(CreateDirectoryW(m_markers.c_str(), nullptr));
        SetEnvironmentVariableW(L"ORVANE_MARKER_DIR", m_markers.c_str());
        m_installer = ReadBytes(OwnFolder() + L"\\fake_installer.exe");
        ASSERT_GT(m_installer.size(), 1000u);
        for (const auto& folder : WorkingFolders())
            RemoveTree(folder);
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"ORVANE_MARKER_DIR", nullptr);
        SetEnvironmentVariableW(L"ORVANE_FAKE_EXIT_CODE", nullptr);
        SetEnvironmentVariableW(L"ORVANE_FAKE_SLEEP_MS", nullptr);
        m_wizard.Kill();
        RemoveTree(m_markers);
        if (!m_savedProduct.empty())
            DeleteFileW(m_savedProduct.c_str());
    }

    // The download type saves the product in the user's Downloads folder under the
    // catalog's file name, here one of this test's own; where it goes.
    std::wstring SaveProductInDownloads()
    {
        m_productFile = "OrvaneDemo-" + m_name + ".exe";
        m_savedProduct = KnownFolder(FOLDERID_Downloads) + L"\\" + std::wstring(m_productFile.begin(), m_productFile.end());
        DeleteFileW(m_savedProduct.c_str());
        return m_savedProduct;
    }

    // Has the host serve bytes below "/f/" (slowly when pieces are given); the path.
    std::string Serve(const std::string& path, const std::string& bytes, int pieceDelayMs = 0)
    {
        json answer = {{"body_base64", ContentHostControl::Base64(bytes)}, {"times", 0}};
        if (pieceDelayMs > 0) {
            answer["piece_size"] = 16384;
            answer["piece_delay_ms"] = pieceDelayMs;
        }
        m_answers["/f/" + path] = json::array({answer});
        return path;
    }
    void Publish(const json& offers)
    {
        json catalog = {{"l", "DE"},
                        {"f", {{"a", "pub-1"}, {"m", 4}}},
                        {"i",
                         {{"ct", "Orvane Demo"},
                          {"cu", m_productUrl},
                          {"cl", Files + "img/product.png"},
                          {"cp", "https://www.orvane.test/privacy/"},
                          {"ctu", "https://www.orvane.test/terms/"},
                          {"cf", m_productFile}}},
                        {"o", offers}};
        m_host.SetScenario({{"config", catalog}, {"answers", m_answers}});
    }

    // Starts the wizard and goes through the language, loading and welcome pages,
    // accepting every offer page; the page that follows them.
    HWND RunToDownload(const std::wstring& shots = std::wstring())
    {
        if (!m_wizard.Start())
            return nullptr;
        m_frame = WaitForFrame(m_wizard);
        HWND page = WaitForPage(m_frame, L"LanguagePage");
        if (!shots.empty())
            SaveScreenshot(shots + L"-1-language");
        if (!page || !Click(page, IDC_NEXT))
            return nullptr;
        if (!shots.empty() && WaitForPage(m_frame, L"LoadingPage", Milliseconds(2000)))
            SaveScreenshot(shots + L"-2-loading");
        page = WaitForPage(m_frame, L"WelcomePage", Milliseconds(40000));
        if (!page)
            return nullptr;
        if (!shots.empty()) {
            Sleep(300);
            SaveScreenshot(shots + L"-3-welcome");
        }
        Click(page, IDC_NEXT);
        for (int offer = 1;; ++offer) {
            WaitUntil([&] { return VisiblePage(m_frame) && VisiblePage(m_frame) != page; });
            HWND next = VisiblePage(m_frame);
            if (PageName(next) != L"ProductPage")
                return next;
            page = next;
            if (!shots.empty()) {
                Sleep(300);
                SaveScreenshot(shots + L"-4-offer-" + std::to_wstring(offer));
            }
            Click(page, IDC_ACCEPT);
        }
    }

    // The marker of a stand-in installer started under that file name ("" when none).
    std::string Marker(const std::wstring& exeName) const
    {
        std::wstring marker = m_markers + L"\\" + exeName.substr(0, exeName.rfind(L'.')) + L".marker";
        return ReadBytes(marker);
    }
    std::string WaitForMarker(const std::wstring& exeName, Milliseconds limit = DefaultWait) const
    {
        std::string text;
        WaitUntil([&] { return !(text = Marker(exeName)).empty(); }, limit);
        return text;
    }
    std::vector<std::wstring> Markers() const
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found = {};
        win32::unique_hfind search(FindFirstFileW((m_markers + L"\\*.marker").c_str(), &found));
        if (!search)
            return names;
        do
            names.push_back(found.cFileName);
        while (FindNextFileW(search.get(), &found));
        std::sort(names.begin(), names.end());
        return names;
    }

    // "main 3", "offer-a -1 DOWNLOAD FAILED: ...": the package events stored (kinds 3
    // and -1), sorted; the run's other events are left out.
    std::vector<std::string> Outcomes() const
    {
        std::vector<std::string> lines;
        for (const auto& event : m_host.Events()) {
            const std::string kind = event.at("kind").get<std::string>();
            if (kind != "3" && kind != "-1")
                continue;
            EXPECT_TRUE(event.at("signature_ok").get<bool>());
            const json& record = event.at("record");
            std::string line = (record.at("10") == 1 ? std::string("main") : record.at("5").get<std::string>()) + " " +
                               kind;
            const auto failure = record.find("12");
            if (failure != record.end() && failure->is_string() && !failure->get<std::string>().empty())
                line += " " + failure->get<std::string>();
            lines.push_back(line);
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    std::vector<std::string> WaitForOutcomes(size_t count) const
    {
        WaitUntil([&] { return Outcomes().size() >= count; });
        return Outcomes();
    }
    size_t EventsOfKind(const std::string& kind) const
    {
        size_t count = 0;
        for (const auto& event : m_host.Events())
            count += event.at("kind") == kind ? 1 : 0;
        return count;
    }

    ContentHostControl m_host;
    WizardProcess m_wizard;
    HWND m_frame = nullptr;
    std::string m_name;
    std::wstring m_markers;
    std::string m_installer;
    json m_answers = json::object();
    std::string m_productUrl = Files + "product/OrvaneDemo.exe";
    std::string m_productFile = "OrvaneDemo.exe";
    std::wstring m_savedProduct;
};

// Whether the caption's close button is drawn as one that can be pressed: its glyph is
// dark, while a button without a Close item in the system menu is greyed. (Another
// process cannot read the wizard's menus under Wine; what the user sees is the proof.)
bool CloseButtonLooksEnabled(HWND frame)
{
    RECT window = {};
    GetWindowRect(frame, &window);
    const int border = GetSystemMetrics(SM_CXFIXEDFRAME);
    const int size = GetSystemMetrics(SM_CYCAPTION);
    const int left = window.right - border - size;
    const int top = window.top + GetSystemMetrics(SM_CYFIXEDFRAME);
    win32::unique_window_dc screen(nullptr);
    win32::unique_memory_dc memory(CreateCompatibleDC(screen.get()));
    win32::unique_gdiobj bitmap(CreateCompatibleBitmap(screen.get(), size, size));
    win32::unique_select_object selected(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, size, size, screen.get(), left, top, SRCCOPY);
    int dark = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const COLORREF pixel = GetPixel(memory.get(), x, y);
            dark += GetRValue(pixel) < 0x40 && GetGValue(pixel) < 0x40 && GetBValue(pixel) < 0x40 ? 1 : 0;
        }
    return dark > 0;
}

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
