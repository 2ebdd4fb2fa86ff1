// From the first Next to the last offer page: the configuration the content host
// serves decides which pages the real wizard shows, and what it reports.
#include "config/BuildSettings.h"
#include "res/resource.h"
#include "tests/common/ContentHostControl.h"
#include "tests/e2e/WizardDriver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace e2e;
using nlohmann::json;
using testing_support::ContentHostControl;

namespace {

const bool DownloadType = std::string(build::WizardTypeName) == "DLM";
const std::wstring TypeName = DownloadType ? L"dlm" : L"isv";

json Offer(const std::string& code, const std::string& name, const json& extra = json::object())
{
    json ps = {{"i", "img/notes.png"},
               {"dn", name},
               {"u", "offers/NotesSetup.exe"},
               {"cp", "https://www.orvane.test/privacy/" + code},
               {"ctu", "https://www.orvane.test/terms/" + code}};
    for (const auto& member : extra.items())
        ps[member.key()] = member.value();
    return {{"ad", {{"f", "feed-" + code}, {"o", code}}}, {"ps", ps}};
}

json Catalog(const json& offers, int maximum = 4)
{
    json catalog = {{"l", "DE"},
                    {"f", {{"a", "pub-1"}, {"m", maximum}}},
                    {"i",
                     {{"ct", "Orvane Demo"},
                      {"cu", "product/OrvaneDemo.exe"},
                      {"cl", "https://content.orvane.test/f/img/product.png"},
                      {"cp", "https://www.orvane.test/privacy/"},
                      {"ctu", "https://www.orvane.test/terms/"}}}};
    if (!offers.is_null())
        catalog["o"] = offers;
    return catalog;
}

std::vector<std::string> KindsOf(const ContentHostControl& host, const std::string& kind, const char* member)
{
    std::vector<std::string> values;
    for (const auto& event : host.Events())
        if (event.at("kind") == kind)
            values.push_back(event.at("record").at(member).get<std::string>());
    return values;
}

const std::wstring PastTheOffers = L"(download)";

// Starts the wizard and presses Next on the language page; the frame.
HWND StartAndLoad(WizardProcess& wizard)
{
    if (!wizard.Start())
        return nullptr;
    HWND frame = WaitForFrame(wizard);
    HWND page = WaitForPage(frame, L"LanguagePage");
    if (!page || !Click(page, IDC_NEXT)) {
        fprintf(stderr, "no language page to go on from: frame %p, page %p, running %d\n", static_cast<void*>(frame),
                static_cast<void*>(page), wizard.IsRunning() ? 1 : 0);
        return nullptr;
    }
    return frame;
}

// The names of the offers whose pages follow the welcome page, each declined, until
// another page shows; that page's name comes last.
std::vector<std::wstring> WalkOffers(HWND frame)
{
    std::vector<std::wstring> seen;
    HWND welcome = WaitForPage(frame, L"WelcomePage", Milliseconds(40000));
    if (!welcome) {
        HWND page = VisiblePage(frame);
        return {L"no welcome page: " + PageName(page) + L" " + ItemText(page, IDC_ERROR_TITLE)};
    }
    Click(welcome, IDC_NEXT);
    for (int i = 0; i < 10; ++i) {
        WaitUntil([&] { return VisiblePage(frame) != welcome && VisiblePage(frame) != nullptr; });
        HWND page = VisiblePage(frame);
        const std::wstring name = PageName(page);
        if (name != L"ProductPage") {
            // Whatever the download does next, the wizard has gone past the offers.
            seen.push_back(PastTheOffers);
            break;
        }
        // The offer's name stands in quotes after "installation of".
        const std::wstring text = ItemText(page, IDC_OFFER_DISCLAIMER);
        const size_t nameStart = text.find(L"\"", text.find(L"installation of")) + 1;
        seen.push_back(text.substr(nameStart, text.find(L"\"", nameStart) - nameStart));
        welcome = page;
        Click(page, IDC_DECLINE);
        WaitUntil([&] { return VisiblePage(frame) != page; });
    }
    return seen;
}

class LoadingRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_host.Available());
        m_host.Reset();
    }
    ContentHostControl m_host;
};

} // namespace

TEST_F(LoadingRun, OfferPagesFollowTheCatalogAndRejectedOffersReportWhy)
{
    m_host.SetScenario({{"config",
                         Catalog(json::array({Offer("offer-a", "Quill Notes", {{"v", 1}}),
                                              Offer("offer-b", "Too New", {{"ov", 1000}, {"v", 2}}),
                                              Offer("offer-c", "Lumen Photos", {{"i", "img/photos.png"}, {"v", 3}})}))}});
    WizardProcess wizard;
    HWND frame = StartAndLoad(wizard);
    ASSERT_TRUE(frame);
    const auto pressed = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitForPage(frame, L"LoadingPage"));
    SaveScreenshot(TypeName + L"-loading-page");

    HWND welcome = WaitForPage(frame, L"WelcomePage", Milliseconds(40000));
    ASSERT_TRUE(welcome) << PageName(VisiblePage(frame));
    printf("from the first Next to the welcome page: %.2f s\n",
           std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - pressed).count() /
               1000.0);
    if (DownloadType) {
        EXPECT_EQ(L"Orvane Demo Setup", WindowText(frame));
        EXPECT_EQ(L"Orvane Demo", ItemText(welcome, IDC_PRODUCT_TITLE));
    }
    Sleep(300);
    SaveScreenshot(TypeName + L"-welcome-page");
    ASSERT_TRUE(Click(welcome, IDC_NEXT));

    HWND first = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return PageName(first = VisiblePage(frame)) == L"ProductPage"; }));
    const std::wstring disclaimer = ItemText(first, IDC_OFFER_DISCLAIMER);
    EXPECT_NE(std::wstring::npos, disclaimer.find(L"\"Quill Notes\"")) << disclaimer;
    EXPECT_NE(std::wstring::npos, disclaimer.find(L"href=\"https://www.orvane.test/privacy/offer-a\"")) << disclaimer;
    EXPECT_NE(std::wstring::npos, disclaimer.find(L"href=\"https://www.orvane.test/terms/offer-a\"")) << disclaimer;
    Sleep(300);
    SaveScreenshot(TypeName + L"-offer-page");
    ASSERT_TRUE(Click(first, IDC_ACCEPT));

    HWND second = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        second = VisiblePage(frame);
        return second != first && PageName(second) == L"ProductPage";
    }));
    EXPECT_NE(std::wstring::npos, ItemText(second, IDC_OFFER_DISCLAIMER).find(L"\"Lumen Photos\""));
    ASSERT_TRUE(Click(second, IDC_DECLINE));
    ASSERT_TRUE(WaitUntil([&] { return VisiblePage(frame) != second; }));

    // The rejected offer reported its reason; the declined one its decline.
    ASSERT_TRUE(WaitUntil([&] { return !KindsOf(m_host, "4", "5").empty(); }));
    EXPECT_EQ(std::vector<std::string>{"offer-b"}, KindsOf(m_host, "2", "5"));
    EXPECT_EQ(std::vector<std::string>{"UNSUPPORTED OS VERSION"}, KindsOf(m_host, "2", "13"));
    EXPECT_EQ(std::vector<std::string>{"offer-c"}, KindsOf(m_host, "4", "5"));
    // Offers are numbered by their place among the accepted ones.
    EXPECT_EQ(std::vector<std::string>{"2"}, KindsOf(m_host, "4", "17"));
    wizard.Kill();
}

TEST_F(LoadingRun, CatalogsWithoutOfferPagesGoFromWelcomeToDownload)
{
    json offMain = Catalog(json::array({Offer("offer-a", "Quill Notes")}));
    offMain["i"]["ch"] = "00xA";
    const struct {
        const char* name;
        json catalog;
    } cases[] = {
        {"no offers", Catalog(nullptr)},
        {"offers switched off", offMain},
        {"maximum 0", Catalog(json::array({Offer("offer-a", "Quill Notes")}), 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_host.Reset();
        m_host.SetScenario({{"config", c.catalog}});
        WizardProcess wizard;
        HWND frame = StartAndLoad(wizard);
        ASSERT_TRUE(frame);
        // "00xA" is read only by the download type: the installer type shows its offer.
        const bool offerShows = !DownloadType && std::string(c.name) == "offers switched off";
        const auto seen = WalkOffers(frame);
        if (offerShows)
            EXPECT_EQ((std::vector<std::wstring>{L"Quill Notes", PastTheOffers}), seen);
        else
            EXPECT_EQ(std::vector<std::wstring>{PastTheOffers}, seen);
        // The maximum ends the loop without an event.
        EXPECT_TRUE(KindsOf(m_host, "2", "5").empty());
    }
}

TEST_F(LoadingRun, ExclusiveOffersStandAlone)
{
    const struct {
        const char* name;
        json offers;
        std::vector<std::wstring> shown;
    } cases[] = {
        {"exclusive first", json::array({Offer("x", "Solo Suite", {{"exc", true}, {"v", 1}}), Offer("c", "Later One", {{"v", 2}})}),
         {L"Solo Suite", PastTheOffers}},
        {"exclusive second",
         json::array({Offer("a", "First One", {{"v", 1}}), Offer("x", "Solo Suite", {{"exc", true}, {"v", 2}}),
                      Offer("c", "Third One", {{"v", 3}})}),
         {L"First One", L"Third One", PastTheOffers}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_host.Reset();
        m_host.SetScenario({{"config", Catalog(c.offers)}});
        WizardProcess wizard;
        HWND frame = StartAndLoad(wizard);
        ASSERT_TRUE(frame);
        EXPECT_EQ(c.shown, WalkOffers(frame));
    }
}

TEST_F(LoadingRun, AConfigurationThatCannotBeHad)
{
    json noTitle = Catalog(nullptr);
    noTitle["i"]["ct"] = "";
    json malformed = Catalog(json::array({Offer("offer-a", "Quill Notes", {{"v", 1}}), {{"ad", {{"f", "x"}}}}}));
    const struct {
        const char* name;
        json scenario;
        size_t requests;
    } cases[] = {
        {"empty product title", {{"config", noTitle}}, 1},
        {"malformed offer", {{"config", malformed}}, 1},
        {"three busy answers", {{"answers", {{"/o", {{{"status", 503}, {"body", "busy"}, {"times", 3}}}}}}}, 3},
        {"oversized answer", {{"answers", {{"/o", {{{"status", 200}, {"body_size", 9 * 1024 * 1024}}}}}}}, 1},
        {"deeply nested answer",
         {{"answers", {{"/o", {{{"status", 200}, {"body", std::string(100, '[') + std::string(100, ']')}}}}}}},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_host.Reset();
        m_host.SetScenario(c.scenario);
        WizardProcess wizard;
        HWND frame = StartAndLoad(wizard);
        ASSERT_TRUE(frame);
        if (DownloadType) {
            HWND error = WaitForPage(frame, L"ErrorPage", Milliseconds(40000));
            ASSERT_TRUE(error) << PageName(VisiblePage(frame));
            EXPECT_EQ(L"Something went wrong", ItemText(error, IDC_ERROR_TITLE));
            EXPECT_EQ(L"Please try to download later", ItemText(error, IDC_ERROR_TEXT));
        } else {
            // The installer type goes on without offers (it never reads the main product).
            EXPECT_EQ(std::vector<std::wstring>{PastTheOffers}, WalkOffers(frame));
        }
        EXPECT_EQ(c.requests, m_host.Requests("/o").size());
    }
}

TEST_F(LoadingRun, AServerThatNeverAnswersEndsTheLoad)
{
    m_host.SetScenario({{"answers", {{"/o", {{{"hang", true}, {"times", 0}}}}}}});
    WizardProcess wizard;
    HWND frame = StartAndLoad(wizard);
    ASSERT_TRUE(frame);
    const auto start = std::chrono::steady_clock::now();
    if (DownloadType)
        EXPECT_TRUE(WaitForPage(frame, L"ErrorPage", Milliseconds(45000)));
    else
        EXPECT_EQ(std::vector<std::wstring>{PastTheOffers}, WalkOffers(frame));
    printf("a silent configuration server ended the load after %.1f s\n",
           std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count() /
               1000.0);
    EXPECT_EQ(1u, m_host.Requests("/o").size());
}

TEST_F(LoadingRun, ClosingWhileTheServerIsSilentEndsAtOnce)
{
    m_host.SetScenario({{"answers", {{"/o", {{{"hang", true}, {"times", 0}}}}}}});
    WizardProcess wizard;
    HWND frame = StartAndLoad(wizard);
    ASSERT_TRUE(frame);
    ASSERT_TRUE(WaitForPage(frame, L"LoadingPage"));
    ASSERT_TRUE(WaitUntil([&] { return !m_host.Requests("/o").empty(); }));
    PostMessageW(frame, WM_CLOSE, 0, 0);
    HWND box = WaitForMessageBox(wizard);
    ASSERT_TRUE(box);
    AnswerMessageBox(box, IDOK);
    EXPECT_TRUE(wizard.WaitForExit(Milliseconds(10000)));
}
