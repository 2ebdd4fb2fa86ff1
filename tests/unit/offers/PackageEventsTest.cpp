// A package's analytics events and its picture, checked where they land: the local
// content host's request log and its event store.
#include "config/ConfigurationManager.h"
#include "net/AnalyticsEvents.h"
#include "net/CommonEventData.h"
#include "offers/Package.h"
#include "tests/common/ContentHostControl.h"
#include "shell/CStaticFromImage.h"

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using nlohmann::json;
using testing_support::ContentHostControl;
using Clock = std::chrono::steady_clock;

namespace {

class PackageEventsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&s_gdiplus, &input, nullptr);
        // As in the wizard, a picture of the program's own is decoded first: under Wine
        // the first picture from a download can otherwise take seconds.
        LoadPngResource(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(101), L"IMAGE_BLOB");
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(s_gdiplus); }

    void SetUp() override
    {
        ASSERT_TRUE(m_host.Available()) << "the content host does not answer";
        m_host.Reset();
        SetEventRetryPauseForTesting(200);
    }
    void TearDown() override
    {
        SetEventRetryPauseForTesting(0);
        SetEventExchangeLimitForTesting(0);
    }

    std::shared_ptr<Package> Offer(int index = 0)
    {
        const json offer = {{"ad", {{"f", "feed-e"}, {"o", "code-e"}}},
                            {"ps", {{"i", "img/notes.png"}, {"dn", "Events"}, {"u", "e.exe"}, {"c", "tag-e"}}}};
        return std::make_shared<Package>(BuildCommonEventData(), offer, false, std::string(), index);
    }
    std::shared_ptr<Package> Main()
    {
        return std::make_shared<Package>(BuildCommonEventData(), true, CString(), CString(), CString(), CString(), 0);
    }

    // Requests of /zbd, each with its posted document parsed.
    json Posts() const { return m_host.Requests("/zbd"); }

    ContentHostControl m_host;
    static ULONG_PTR s_gdiplus;
};

ULONG_PTR PackageEventsTest::s_gdiplus = 0;

TEST_F(PackageEventsTest, PostsTheRecordWithKindAndDataAsTheDocumentsDataText)
{
    const auto package = Offer();
    package->SendEvent(-1, {{"12", "DOWNLOAD FAILED: Error 404"}, {"40", 7}});
    package->WaitForEvents();

    const json events = m_host.Events();
    ASSERT_EQ(1u, events.size());
    EXPECT_TRUE(events[0].at("signature_ok").get<bool>());
    EXPECT_EQ("-1", events[0].at("kind"));
    const json& record = events[0].at("record");
    EXPECT_EQ("-1", record.at("6"));
    EXPECT_EQ("DOWNLOAD FAILED: Error 404", record.at("12"));
    EXPECT_EQ(7, record.at("40"));
    EXPECT_EQ("code-e", record.at("5"));
    EXPECT_EQ("1", record.at("17"));
    EXPECT_EQ("", record.at("13"));

    // Exactly "data" then "table", compact, with the Authorization header first.
    const json posts = Posts();
    ASSERT_EQ(1u, posts.size());
    const std::string body = posts[0].at("body");
    const json document = json::parse(body);
    EXPECT_EQ(2u, document.size());
    EXPECT_EQ(0u, body.find("{\"data\":\""));
    EXPECT_NE(std::string::npos, body.find("\",\"table\":\"zb_analytics\"}"));
    EXPECT_EQ(document.at("data").get<std::string>(), json::parse(document.at("data").get<std::string>()).dump());
    const auto headers = ContentHostControl::Headers(posts[0]);
    ASSERT_GE(headers.size(), 3u);
    EXPECT_EQ("Authorization", headers[0].first);
    EXPECT_EQ("Expect", headers[1].first);
    EXPECT_EQ("Content-Type", headers[2].first);
}

TEST_F(PackageEventsTest, AFinalEventClosesThePackageAndANonFinalOneDoesNot)
{
    const auto main = Main();
    main->SendEvent(1, nullptr);
    main->WaitForEvents();
    main->SendEvent(1, nullptr);
    main->WaitForEvents();
    EXPECT_FALSE(main->m_eventsClosed);

    const auto offer = Offer();
    offer->SendEvent(3, nullptr);
    offer->WaitForEvents();
    EXPECT_TRUE(offer->m_eventsClosed);
    offer->SendEvent(5, nullptr);
    offer->WaitForEvents();

    const json events = m_host.Events();
    ASSERT_EQ(3u, events.size());
    EXPECT_EQ("1", events[0].at("kind"));
    EXPECT_EQ("1", events[0].at("record").at("10").dump());
    EXPECT_EQ("1", events[1].at("kind"));
    EXPECT_EQ("3", events[2].at("kind"));
    EXPECT_EQ(3u, Posts().size());
}

TEST_F(PackageEventsTest, AFailedFinalEventLeavesThePackageOpen)
{
    // Both attempts of the declined offer's event fail; the closing event still goes out.
    m_host.SetAnswers("/zbd", json::array({{{"status", 500}, {"times", 2}}}));
    const auto offer = Offer();
    offer->SendEvent(4, nullptr);
    offer->WaitForEvents();
    EXPECT_FALSE(offer->m_eventsClosed);
    offer->SendEvent(5, nullptr);
    offer->WaitForEvents();

    const json posts = Posts();
    ASSERT_EQ(3u, posts.size());
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ("4", json::parse(json::parse(posts[i].at("body").get<std::string>()).at("data").get<std::string>())
                           .at("6"));
    const json events = m_host.Events();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ("5", events[0].at("kind"));
    EXPECT_TRUE(offer->m_eventsClosed);
}

TEST_F(PackageEventsTest, WaitingCoversAPostSleepingBetweenItsAttempts)
{
    SetEventRetryPauseForTesting(1500);
    m_host.SetAnswers("/zbd", json::array({{{"status", 503}}}));
    const auto main = Main();
    const auto start = Clock::now();
    main->SendEvent(5, nullptr);
    main->WaitForEvents();
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1500));
    // The second attempt had been made before the wait ended.
    EXPECT_EQ(2u, Posts().size());
    EXPECT_EQ(1u, m_host.Events().size());
}

TEST_F(PackageEventsTest, AnEndpointThatNeverAnswersCannotHoldAPost)
{
    SetEventExchangeLimitForTesting(1000);
    m_host.SetAnswers("/zbd", json::array({{{"hang", true}}}));
    const auto main = Main();
    const auto start = Clock::now();
    main->SendEvent(5, nullptr);
    EXPECT_FALSE(main->WaitForEventsUntil(start + std::chrono::milliseconds(300)));
    main->WaitForEvents();
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(1000));
    EXPECT_LT(waited, std::chrono::seconds(10));
    // No answer at all: no second attempt, nothing stored, the package stays open.
    EXPECT_EQ(1u, Posts().size());
    EXPECT_TRUE(m_host.Events().empty());
    EXPECT_FALSE(main->m_eventsClosed);
}

TEST_F(PackageEventsTest, APostKeepsItsPackageAlive)
{
    std::weak_ptr<Package> watched;
    {
        auto offer = Offer();
        watched = offer;
        offer->SendEvent(2, {{"13", "Max offers limit"}});
    }
    // Nobody holds the package but its post.
    for (int i = 0; i < 100 && m_host.Events().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const json events = m_host.Events();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ("2", events[0].at("kind"));
    EXPECT_EQ("Max offers limit", events[0].at("record").at("13"));
    for (int i = 0; i < 100 && !watched.expired(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(watched.expired());
}

TEST_F(PackageEventsTest, TextThatIsNotUtf8LosesTheEventAtOnce)
{
    const auto offer = Offer();
    offer->SendEvent(-1, {{"12", std::string("EXEC FAILED: \xff\xfe")}});
    offer->WaitForEvents();
    EXPECT_TRUE(Posts().empty());
    EXPECT_FALSE(offer->m_eventsClosed);
}

TEST(AffiliateForCountry, LooksTheCodeUpExactly)
{
    const struct {
        const char* code;
        const char* affiliate;
    } cases[] = {{"US", "91088"}, {"CA", "91166"}, {"BR", "91199"}, {"NZ", "91214"}, {"KR", "91214"},
                 {"PL", "91105"}, {"AE", "91105"}, {"SG", "91215"}, {"TH", "91215"}, {"us", "91082"},
                 {"", "91082"},   {"DE", "91082"}, {"USA", "91082"}};
    for (const auto& c : cases)
        EXPECT_EQ(c.affiliate, AffiliateForCountry(c.code)) << c.code;
    for (int kind : {-1, 2, 3, 4, 5})
        EXPECT_TRUE(IsFinalEventKind(kind)) << kind;
    for (int kind : {0, 1, 6, -2})
        EXPECT_FALSE(IsFinalEventKind(kind)) << kind;
}

// The picture: each case calls done exactly once, and only a real picture is kept.
TEST_F(PackageEventsTest, DownloadsTheOfferPicture)
{
    struct Case {
        const char* name;
        json answers;
        bool picture;
    };
    const Case cases[] = {
        {"picture", json::array(), true},
        {"missing", json::array({{{"status", 404}, {"body", "no"}, {"times", 0}}}), false},
        {"empty", json::array({{{"status", 200}, {"body", ""}}}), false},
        {"not a picture", json::array({{{"status", 200}, {"body", "this is not a PNG at all"}}}), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_host.Reset();
        if (!c.answers.empty())
            m_host.SetAnswers("/f/img/notes.png", c.answers);
        const auto offer = Offer();
        std::atomic<int> calls{0};
        offer->DownloadImage([&calls] { ++calls; });
        for (int i = 0; i < 400 && calls == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(1, calls.load());
        EXPECT_EQ(c.picture, static_cast<bool>(offer->m_image));
        if (offer->m_image) {
            EXPECT_GT(offer->m_image->GetWidth(), 0u);
        }
        offer->m_image.reset();
        EXPECT_FALSE(m_host.Requests("/f/img/notes.png").empty());
    }

    // The main product has no picture of its own to fetch.
    m_host.Reset();
    int mainCalls = 0;
    Main()->DownloadImage([&mainCalls] { ++mainCalls; });
    EXPECT_EQ(1, mainCalls);
    EXPECT_TRUE(m_host.Requests().empty());
}

} // namespace
