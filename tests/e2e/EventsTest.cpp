// What the wizard reports to the analytics endpoint as the user goes through it, read
// back from the content host's event store.
#include "config/BuildSettings.h"
#include "res/resource.h"
#include "tests/common/ContentHostControl.h"
#include "tests/e2e/WizardDriver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

using namespace e2e;
using nlohmann::json;
using testing_support::ContentHostControl;

namespace {

// The events stored so far, of one kind.
json EventsOfKind(const ContentHostControl& host, const std::string& kind)
{
    json found = json::array();
    for (const auto& event : host.Events())
        if (event.at("kind") == kind)
            found.push_back(event);
    return found;
}

// Answers the close question of the wizard with OK.
void ConfirmClose(const WizardProcess& wizard, HWND frame)
{
    PostMessageW(frame, WM_CLOSE, 0, 0);
    HWND box = WaitForMessageBox(wizard);
    ASSERT_TRUE(box);
    AnswerMessageBox(box, IDOK);
}

} // namespace

TEST(WizardEvents, TheFirstNextAnnouncesTheRunOnceAndClosingReportsTheMainProduct)
{
    ContentHostControl host;
    ASSERT_TRUE(host.Available());
    host.Reset();

    WizardProcess wizard;
    ASSERT_TRUE(wizard.Start());
    HWND frame = WaitForFrame(wizard);
    HWND page = WaitForPage(frame, L"LanguagePage");
    ASSERT_TRUE(page);
    // Nothing is reported before the user has chosen to go on.
    Sleep(300);
    EXPECT_TRUE(host.Events().empty());

    ASSERT_TRUE(Click(page, IDC_NEXT));
    ASSERT_TRUE(WaitForPage(frame, L"LoadingPage"));
    ASSERT_TRUE(WaitUntil([&] { return !EventsOfKind(host, "1").empty(); }));
    const json started = EventsOfKind(host, "1");
    ASSERT_EQ(1u, started.size());
    EXPECT_TRUE(started[0].at("signature_ok").get<bool>());
    const json& record = started[0].at("record");
    EXPECT_EQ(1, record.at("10"));
    EXPECT_EQ("1", record.at("6"));
    EXPECT_EQ("", record.at("18"));
    EXPECT_EQ(14u, record.at("2").get<std::string>().size());

    ConfirmClose(wizard, frame);
    EXPECT_TRUE(wizard.WaitForExit(DefaultWait));
    const json closed = EventsOfKind(host, "5");
    ASSERT_EQ(1u, closed.size()) << host.Events().dump();
    // The same run and machine as the first event, signed alike.
    EXPECT_EQ(record.at("1"), closed[0].at("record").at("1"));
    EXPECT_EQ(record.at("2"), closed[0].at("record").at("2"));
    EXPECT_EQ(started[0].at("authorization"), closed[0].at("authorization"));
    EXPECT_EQ(1u, EventsOfKind(host, "1").size());
}

TEST(WizardEvents, AnAnalyticsEndpointThatNeverAnswersCannotKeepTheWizardAlive)
{
    // The close is the same in both wizard types; its bound is proven once.
    if (std::string(build::WizardTypeName) != "DLM")
        GTEST_SKIP() << "run by the download type";
    ContentHostControl host;
    ASSERT_TRUE(host.Available());
    host.Reset();
    host.SetAnswers("/zbd", json::array({{{"hang", true}, {"times", 0}}}));

    WizardProcess wizard;
    ASSERT_TRUE(wizard.Start());
    HWND frame = WaitForFrame(wizard);
    HWND page = WaitForPage(frame, L"LanguagePage");
    ASSERT_TRUE(page);
    ASSERT_TRUE(Click(page, IDC_NEXT));
    ASSERT_TRUE(WaitForPage(frame, L"LoadingPage"));
    ASSERT_TRUE(WaitUntil([&] { return !host.Requests("/zbd").empty(); }));

    const auto confirmed = std::chrono::steady_clock::now();
    ConfirmClose(wizard, frame);
    // The window goes at once; the process waits for its posts, but not for ever.
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(frame); }, Milliseconds(3000)));
    ASSERT_TRUE(wizard.WaitForExit(Milliseconds(40000)));
    const auto seconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - confirmed).count() /
        1000.0;
    printf("closing against a silent analytics endpoint took %.1f s\n", seconds);
    // The closing event was tried, and the next run is not refused.
    EXPECT_EQ(2u, host.Requests("/zbd").size());
    WizardProcess next;
    ASSERT_TRUE(next.Start());
    HWND nextFrame = WaitForFrame(next);
    ASSERT_TRUE(nextFrame);
    EXPECT_TRUE(WaitForPage(nextFrame, L"LanguagePage"));
}
