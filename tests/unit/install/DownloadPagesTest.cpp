// The two download pages, real windows on a test host, downloading from the test run's
// nginx, starting the stand-in installer and reporting to the local content host.
#include "config/ConfigurationManager.h"
#include "install/DownloadManager.h"
#include "install/DownloadPageDlm.h"
#include "install/DownloadPageIsv.h"
#include "locale/LanguageManager.h"
#include "offers/Package.h"
#include "res/resource.h"

#include "DownloadFixtures.h"
#include "InstallFixtures.h"
#include "PageFixtures.h"
#include "tests/common/ZipBuilder.h"
#include "tests/common/ContentHostControl.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

class DownloadPagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_files.Available()) << "the test run's nginx is not there";
        ASSERT_TRUE(m_host.Available()) << "the content host does not answer";
        m_host.Reset();
        m_prefix = std::string("pages/") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
    }

    // Has the content host serve bytes below its file base, in this test's own folder;
    // the path below the file base, as an offer names it.
    std::string ServeAnswer(const std::string& name, const nlohmann::json& answer)
    {
        const std::string relative = m_prefix + name;
        m_answers["/f/" + relative] = nlohmann::json::array({answer});
        m_host.SetScenario({{"answers", m_answers}});
        return relative;
    }
    std::string Serve(const std::string& name, const std::string& bytes)
    {
        return ServeAnswer(name, nlohmann::json{{"body_base64", ContentHostControl::Base64(bytes)}, {"times", 0}});
    }
    // A path below the file base that the host does not have (404).
    std::string Missing(const std::string& name) const { return m_prefix + name; }
    // The full address of a path below the file base.
    static CString Full(const std::string& relative)
    {
        return ConfigurationManager::GetInstance()->filesBaseUrl + CString(relative.c_str());
    }

    // "code kind" or "code kind text" of every stored event, sorted; the main package is "main".
    std::vector<std::string> Events()
    {
        auto configuration = ConfigurationManager::GetInstance();
        if (configuration->mainPackage)
            configuration->mainPackage->WaitForEvents();
        for (const auto& package : configuration->acceptedPackages)
            package->WaitForEvents();
        // The main package's code is the product's name in one type and empty in the other.
        const std::string mainCode =
            configuration->mainPackage ? configuration->mainPackage->EventBody().at("5").get<std::string>() : "";
        std::vector<std::string> events;
        for (const auto& event : m_host.Events()) {
            const auto& record = event.at("record");
            std::string code = record.at("5").get<std::string>();
            std::string line = (code == mainCode ? std::string("main") : code) + " " + record.at("6").get<std::string>();
            const auto failure = record.find("12");
            if (failure != record.end() && failure->is_string() && !failure->get<std::string>().empty())
                line += " " + failure->get<std::string>();
            EXPECT_TRUE(event.at("signature_ok").get<bool>());
            events.push_back(line);
        }
        std::sort(events.begin(), events.end());
        return events;
    }

    NginxFiles m_files;
    ContentHostControl m_host;
    std::string m_prefix;
    nlohmann::json m_answers = nlohmann::json::object();
};

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

TEST_F(DownloadPagesTest, DownloadTypeWithoutOffersSavesTheProductAndMovesOn)
{
    PageConfiguration scope;
    auto configuration = ConfigurationManager::GetInstance();
    // The product's address is used as configured, here one of another server.
    ASSERT_TRUE(m_files.Put(m_prefix + "product.bin", PatternBytes(300000)));
    configuration->productUrl = m_files.Http(m_prefix + "product.bin");
    configuration->productFileName = L"Product Setup.exe";
    configuration->mainPackage = MainPackage();
    PageHost host;
    auto page = host.Make<DownloadPageDlm>();

    page->OnNavigateToPage();
    ASSERT_TRUE(PumpUntil([&] { return host.Reported(); }, 20s));

    EXPECT_EQ(host.buttons, std::vector<ButtonType>{ButtonType::Next});
    EXPECT_TRUE(host.errors.empty());
    const CString saved = scope.DownloadFolder() + L"\\Product Setup.exe";
    EXPECT_EQ(configuration->downloadedFilePath, saved);
    EXPECT_EQ(ReadFileBytes(saved), PatternBytes(300000));
    EXPECT_TRUE(ListTree(scope.WorkingFolder()).empty()) << "nothing was started";
    EXPECT_EQ(Events(), std::vector<std::string>{"main 3"});
}

TEST_F(DownloadPagesTest, DownloadTypeStartsEveryAcceptedOfferWithItsArguments)
{
    PageConfiguration scope;
    auto configuration = ConfigurationManager::GetInstance();
    const std::string installer = FakeInstallerBytes();
    configuration->productUrl = Full(Serve("product.exe", "MZ product"));
    configuration->productFileName = L"product.exe";
    configuration->mainPackage = MainPackage();
    configuration->acceptedPackages = {
        OfferPackage("offer-plain", Serve("plain.exe", installer), "/silent exit=4"),
        OfferPackage("offer-zip", Serve("bundle.zip", ZipBuilder().Add("readme.txt", "x").Add("setup.exe", installer).Bytes()),
                     "/quiet"),
    };
    PageHost host;
    auto page = host.Make<DownloadPageDlm>();

    page->OnNavigateToPage();
    ASSERT_TRUE(PumpUntil([&] { return host.Reported(); }, 20s));

    EXPECT_EQ(host.buttons, std::vector<ButtonType>{ButtonType::Next});
    const CString plain = scope.WorkingFolder() + L"\\plain.exe";
    const CString unpacked = scope.WorkingFolder() + L"\\bundle\\setup.exe";
    EXPECT_EQ(WaitForMarker(plain), "\"" + ToAnsi(plain) + "\" /silent exit=4");
    EXPECT_EQ(WaitForMarker(unpacked), "\"" + ToAnsi(unpacked) + "\" /quiet");
    // The product itself is not run by this type.
    EXPECT_EQ(ReadFileBytes(scope.DownloadFolder() + L"\\product.exe"), "MZ product");
    EXPECT_EQ(Events(), (std::vector<std::string>{"main 3", "offer-plain 3", "offer-zip 3"}));
}

TEST_F(DownloadPagesTest, DownloadTypeFailuresAreReportedAndOnlyTheProductsShowsTheError)
{
    struct Case {
        const char* what;
        bool productFails;
        bool countsAsDone;
        std::string productEvent;
    } cases[] = {
        {"offer fails", false, true, "main 3"},
        {"product fails, counted as done", true, true, "main 3 DOWNLOAD FAILED: "},
        {"product fails, counted as failed", true, false, "main -1 DOWNLOAD FAILED: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_host.Reset();
        m_answers = nlohmann::json::object();
        PageConfiguration scope;
        auto configuration = ConfigurationManager::GetInstance();
        configuration->mainFailureCountsAsDone = c.countsAsDone;
        configuration->productUrl = Full(c.productFails ? Missing("product.exe") : Serve("product.exe", "MZ"));
        configuration->productFileName = L"product.exe";
        configuration->mainPackage = MainPackage();
        configuration->acceptedPackages = {
            OfferPackage("offer-good", Serve("good.exe", FakeInstallerBytes()), "run"),
            OfferPackage("offer-gone", Missing("gone.exe"), "run"),
        };
        PageHost host;
        auto page = host.Make<DownloadPageDlm>();

        page->OnNavigateToPage();
        ASSERT_TRUE(PumpUntil([&] { return host.Reported(); }, 30s));

        const CString good = scope.WorkingFolder() + L"\\good.exe";
        EXPECT_EQ(WaitForMarker(good), "\"" + ToAnsi(good) + "\" run") << "the other offer still starts";
        EXPECT_FALSE(FileExists(scope.WorkingFolder() + L"\\gone.exe"));
        if (c.productFails) {
            EXPECT_TRUE(host.buttons.empty());
            ASSERT_EQ(host.errors.size(), 1u);
            EXPECT_EQ(host.errors[0].first, host.Texts()->GetText("PAGE_DOWNLOAD_ERROR_TITLE"));
            EXPECT_EQ(host.errors[0].second, host.Texts()->GetText("PAGE_DOWNLOAD_ERROR_DESC"));
            EXPECT_TRUE(ListTree(scope.DownloadFolder()).empty()) << "no file is left behind";
            EXPECT_TRUE(configuration->downloadedFilePath.IsEmpty());
        } else {
            EXPECT_EQ(host.buttons, std::vector<ButtonType>{ButtonType::Next});
            EXPECT_TRUE(host.errors.empty());
        }
        const auto events = Events();
        ASSERT_EQ(events.size(), 3u);
        EXPECT_TRUE(StartsWith(events[0], c.productEvent)) << events[0];
        EXPECT_TRUE(StartsWith(events[1], "offer-gone -1 DOWNLOAD FAILED: [WINHTTP] ")) << events[1];
        EXPECT_NE(events[1].find(" [WININET] "), std::string::npos) << events[1];
        EXPECT_EQ(events[2], "offer-good 3");
    }
}

TEST_F(DownloadPagesTest, NothingStartsOnceTheUserHasQuit)
{
    for (bool installerType : {false, true}) {
        SCOPED_TRACE(installerType ? "installer type" : "download type");
        m_host.Reset();
        m_answers = nlohmann::json::object();
        PageConfiguration scope(installerType);
        auto configuration = ConfigurationManager::GetInstance();
        // The product comes slowly (about 80 KiB a second), so the user quits during its download.
        configuration->productUrl = Full(ServeAnswer(
            "slow.exe", nlohmann::json{{"body_size", 256 * 1024}, {"piece_size", 4096}, {"piece_delay_ms", 50}, {"times", 0}}));
        configuration->productFileName = L"slow.exe";
        configuration->mainPackage = MainPackage();
        configuration->acceptedPackages = {OfferPackage("offer-late", Serve("late.exe", FakeInstallerBytes()), "")};
        PageHost host;
        std::unique_ptr<IPage> page;
        if (installerType)
            page = host.Make<DownloadPageIsv>();
        else
            page = host.Make<DownloadPageDlm>();

        page->OnNavigateToPage();
        PumpFor(500ms);
        // What the frame does when the user confirms quitting.
        configuration->closing = true;
        DownloadManager::GetInstance()->m_cancel = true;
        PumpFor(1500ms);

        EXPECT_FALSE(host.Reported());
        EXPECT_FALSE(FileExists(scope.WorkingFolder() + L"\\late.exe")) << "the offer's download never started";
        EXPECT_TRUE(Events().empty());
        page.reset();
        DownloadManager::GetInstance()->m_cancel = false;
    }
}

TEST_F(DownloadPagesTest, InstallerTypeRunsTheProductFirstAndWaitsForIt)
{
    struct Case {
        const char* what;
        const char* arguments;
        std::string productEvent;
    } cases[] = {
        {"exit code 0", "/S sleep=600", "main 3"},
        {"exit code 1", "/S sleep=600 exit=1", "main 3 EXEC FAILED: exit code = 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_host.Reset();
        m_answers = nlohmann::json::object();
        PageConfiguration scope(true);
        auto configuration = ConfigurationManager::GetInstance();
        const std::string installer = FakeInstallerBytes();
        // A path below the file base, as the installer type's built-in product names it.
        configuration->productUrl = CString(Serve("ProductSetup.exe", installer).c_str());
        configuration->installerArguments = c.arguments;
        configuration->mainPackage = MainPackage();
        configuration->acceptedPackages = {OfferPackage("offer-after", Serve("after.exe", installer), "after")};
        PageHost host;
        auto page = host.Make<DownloadPageIsv>();
        std::vector<std::string> calls;
        page->onInstallBusy = [&] { calls.push_back("busy"); };
        page->onInstallIdle = [&] { calls.push_back("idle"); };
        const CString product = scope.WorkingFolder() + L"\\ProductSetup.exe";
        const CString offer = scope.WorkingFolder() + L"\\after.exe";

        page->OnNavigateToPage();
        ASSERT_TRUE(PumpUntil([&] { return !calls.empty(); }, 20s));
        // The product's installer runs: the bar is a marquee and no offer has started.
        HWND bar = GetDlgItem(*page, IDC_PROGRESS);
        EXPECT_TRUE(GetWindowLongPtrW(bar, GWL_STYLE) & PBS_MARQUEE);
        EXPECT_TRUE(ReadMarker(offer).empty());
        ASSERT_TRUE(PumpUntil([&] { return host.Reported(); }, 20s));

        EXPECT_EQ(ReadMarker(product), "\"" + ToAnsi(product) + "\" " + c.arguments);
        EXPECT_EQ(WaitForMarker(offer), "\"" + ToAnsi(offer) + "\" after");
        EXPECT_EQ(calls, (std::vector<std::string>{"busy", "idle", "idle"}));
        if (std::string(c.arguments).find("exit=1") == std::string::npos) {
            EXPECT_EQ(host.buttons, std::vector<ButtonType>{ButtonType::Next});
            EXPECT_EQ(configuration->downloadedFilePath, product);
        } else {
            EXPECT_TRUE(host.buttons.empty());
            ASSERT_EQ(host.errors.size(), 1u);
            EXPECT_EQ(host.errors[0].first, host.Texts()->GetText("PAGE_ERROR_TITLE"));
            EXPECT_EQ(host.errors[0].second, host.Texts()->GetText("PAGE_ERROR_TEXT"));
        }
        EXPECT_EQ(Events(), (std::vector<std::string>{c.productEvent, "offer-after 3"}));
    }
}

TEST_F(DownloadPagesTest, InstallerTypeWithEveryDownloadFailedShowsTheError)
{
    PageConfiguration scope(true);
    auto configuration = ConfigurationManager::GetInstance();
    configuration->productUrl = CString(Missing("ProductSetup.exe").c_str());
    configuration->mainPackage = MainPackage();
    configuration->acceptedPackages = {OfferPackage("offer-gone", Missing("gone.exe"), "")};
    PageHost host;
    auto page = host.Make<DownloadPageIsv>();
    int busy = 0, idle = 0;
    page->onInstallBusy = [&] { ++busy; };
    page->onInstallIdle = [&] { ++idle; };

    page->OnNavigateToPage();
    ASSERT_TRUE(PumpUntil([&] { return host.Reported(); }, 30s));

    EXPECT_TRUE(host.buttons.empty());
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0].first, host.Texts()->GetText("PAGE_ERROR_TITLE"));
    // The wizard no longer counts as installing once the error shows.
    EXPECT_EQ(busy, 1);
    EXPECT_EQ(idle, 1);
    const auto events = Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_TRUE(StartsWith(events[0], "main 3 DOWNLOAD FAILED: ")) << events[0];
    EXPECT_TRUE(StartsWith(events[1], "offer-gone -1 DOWNLOAD FAILED: ")) << events[1];
}

TEST(InstallerArguments, ClassicModeSpellsTheOptionBoxes)
{
    struct Case {
        std::array<bool, 8> options;
        const wchar_t* expected;
    } cases[] = {
        {{true, false, false, false, false, false, false, false}, L"/S /FORCEINSTALL 0000000101000010"},
        {{false, false, false, false, false, true, false, false}, L"/S /FORCEINSTALL 1000000101010000"},
        {{false, true, true, true, true, false, true, true}, L"/S /FORCEINSTALL 0110010101101100"},
        {{true, true, true, true, true, true, true, true}, L"/S /FORCEINSTALL 1110010101111110"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DownloadPageIsv::ClassicInstallerArguments(c.options), c.expected);
}
