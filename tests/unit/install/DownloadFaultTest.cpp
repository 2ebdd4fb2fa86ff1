// Downloads against the local content host's scripted answers: missing and wrong
// lengths, cut bodies, failing first answers.
#include "install/DownloadManager.h"

#include "DownloadFixtures.h"
#include "InstallFixtures.h"
#include "config/ConfigurationManager.h"
#include "shell/WindowMessages.h"
#include "tests/common/ContentHostControl.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

using namespace testing_support;
using nlohmann::json;

namespace {

const wchar_t* const kFileUrl = L"https://content.orvane.test/f/fault/setup.exe";
const char* const kFilePath = "/f/fault/setup.exe";

// The bytes the host generates for "body_size": 0, 1, ... 255, 0, ...
std::string GeneratedBytes(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i & 0xFF);
    return bytes;
}

class DownloadFaultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.Available()) << "the content host does not answer";
        host.Reset();
        auto configuration = ConfigurationManager::GetInstance();
        configuration->workingFolder = working.Path();
        manager = std::make_shared<DownloadManager>();
        manager->m_fallbackPauseMs = 50;
    }
    void TearDown() override { host.Reset(); }

    ContentHostControl host;
    TempFolder working;
    ProgressWindow window;
    std::shared_ptr<DownloadManager> manager;
};

} // namespace

TEST_F(DownloadFaultTest, WithoutLengthTheSizeTestAndTheClosingMessageAreSkipped)
{
    const json answers[] = {
        {{"body_size", 300000}, {"content_length", nullptr}, {"times", 0}},
        {{"body_size", 300000}, {"chunked", true}, {"piece_size", 16384}, {"times", 0}},
    };
    for (const json& answer : answers) {
        SCOPED_TRACE(answer.dump());
        host.SetAnswers(kFilePath, json::array({answer}));

        auto result = manager->Download(kFileUrl, window.Handle(), CString(), true);

        EXPECT_TRUE(result.first);
        EXPECT_EQ(result.second, L"");
        EXPECT_TRUE(ReadFileBytes(working.File(L"setup.exe")) == GeneratedBytes(300000));
        // The page shows a marquee: one message past 100 and nothing after it.
        auto messages = window.Drain();
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(messages[0], std::make_pair(WM_DOWNLOAD_LENGTH_UNAVAILABLE, WPARAM(0)));
        EXPECT_EQ(messages[1].first, WM_DOWNLOAD_PROGRESS);
        EXPECT_GT(messages[1].second, 100u);
    }
}

TEST_F(DownloadFaultTest, BodyShorterThanAnnouncedFailsBothWays)
{
    const json answers[] = {
        {{"body_size", 1000}, {"cut_after", 400}, {"times", 0}},
        {{"body_size", 400}, {"content_length", 1000}, {"times", 0}},
    };
    for (const json& answer : answers) {
        SCOPED_TRACE(answer.dump());
        host.SetAnswers(kFilePath, json::array({answer}));
        // An installer cut short never takes the place of the earlier one.
        ASSERT_TRUE(WriteFileBytes(working.File(L"setup.exe"), "MZ earlier setup"));

        auto result = manager->Download(kFileUrl, window.Handle(), CString(), true);

        EXPECT_FALSE(result.first);
        EXPECT_EQ(result.second,
                  L"[WINHTTP] Download was incomplete: content length: 1000, downloaded: 400"
                  L" [WININET] Download was incomplete: content length: 1000, downloaded: 400");
        EXPECT_EQ(ReadFileBytes(working.File(L"setup.exe")), "MZ earlier setup");
        EXPECT_FALSE(FileExists(working.File(L"setup.exe.part")));
        auto messages = window.Drain();
        for (const auto& message : messages)
            EXPECT_NE(message, std::make_pair(WM_DOWNLOAD_PROGRESS, WPARAM(1))) << "no closing message";
    }
}

TEST_F(DownloadFaultTest, WinInetCompletesWhatWinHttpCouldNot)
{
    host.SetAnswers(kFilePath, json::array({{{"status", 503}, {"body", "busy"}}, {{"body_size", 70000}}}));

    auto result = manager->Download(kFileUrl, window.Handle(), CString(), true);

    EXPECT_TRUE(result.first);
    EXPECT_EQ(result.second, L"[WINHTTP] Download failed: Server returned status code: 503");
    EXPECT_EQ(manager->m_lastFilePath, working.File(L"setup.exe"));
    EXPECT_TRUE(ReadFileBytes(working.File(L"setup.exe")) == GeneratedBytes(70000));
    auto messages = window.Drain();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), std::make_pair(WM_DOWNLOAD_PROGRESS, WPARAM(1)));
    EXPECT_EQ(host.Requests(kFilePath).size(), 2u);
}

TEST_F(DownloadFaultTest, OnlyStatus200CountsForWinInet)
{
    // WinHTTP takes any 2xx; WinINet only 200.
    host.SetAnswers(kFilePath, json::array({{{"status", 500}}, {{"status", 203}, {"body", "x"}}}));

    auto result = manager->Download(kFileUrl, window.Handle(), CString(), true);

    EXPECT_FALSE(result.first);
    const CString expected = L"[WINHTTP] Download failed: Server returned status code: 500"
                             L" [WININET] Server returned status code: HTTP 203 - ";
    EXPECT_EQ(result.second.Left(expected.GetLength()), expected);
}

TEST_F(DownloadFaultTest, DroppedConnectionFailsBothWays)
{
    host.SetAnswers(kFilePath, json::array({{{"drop", true}, {"times", 0}}}));

    auto result = manager->Download(kFileUrl, window.Handle(), CString(), true);

    EXPECT_FALSE(result.first);
    EXPECT_EQ(result.second.Find(L"[WINHTTP] Failed to receive response: "), 0) << ToAnsi(result.second);
    // Which step of WinINet notices the drop differs between systems.
    EXPECT_GT(result.second.Find(L" [WININET] "), 0) << ToAnsi(result.second);
    EXPECT_FALSE(FileExists(working.File(L"setup.exe")));
}

TEST_F(DownloadFaultTest, CancelEndsDownloadsThatNeverGetAnAnswer)
{
    host.SetAnswers(kFilePath, json::array({{{"hang", true}, {"times", 0}}}));
    // Sets the cancel flag once the host has the request the download is stuck on.
    auto cancelWhenAsked = [&](size_t requests) {
        for (int i = 0; i < 600 && host.Requests(kFilePath).size() < requests; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        manager->m_cancel = true;
    };

    // A file of the same name from before stays as it was.
    ASSERT_TRUE(WriteFileBytes(working.File(L"setup.exe"), "MZ earlier setup"));
    auto file = std::async(std::launch::async,
                           [&] { return manager->Download(kFileUrl, window.Handle(), CString(), true); });
    cancelWhenAsked(1);
    ASSERT_EQ(file.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    auto result = file.get();
    EXPECT_FALSE(result.first);
    EXPECT_EQ(result.second, L"[WINHTTP] Download cancelled.");
    EXPECT_EQ(ReadFileBytes(working.File(L"setup.exe")), "MZ earlier setup");
    EXPECT_FALSE(FileExists(working.File(L"setup.exe.part")));
    EXPECT_EQ(host.Requests(kFilePath).size(), 1u) << "the second way never starts";

    manager = std::make_shared<DownloadManager>();
    auto memory = std::async(std::launch::async, [&] { return manager->DownloadToMemory(kFileUrl); });
    cancelWhenAsked(2);
    ASSERT_EQ(memory.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    auto data = memory.get();
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->empty());
}

TEST_F(DownloadFaultTest, AMemoryDownloadCancelledOnItsWayCallsBackWithNothing)
{
    // The picture arrives after the user has quit: the callback gets nothing, not the bytes.
    host.SetAnswers(kFilePath, json::array({{{"delay_ms", 1500}, {"body_size", 5000}, {"times", 0}}}));
    auto delivered = std::make_shared<std::promise<bool>>();
    auto wasNull = delivered->get_future();
    manager->DownloadToMemoryAsync(kFileUrl, [delivered](std::unique_ptr<std::vector<char>> data) {
        delivered->set_value(data == nullptr);
    });
    for (int i = 0; i < 600 && host.Requests(kFilePath).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    manager->m_cancel = true;
    ASSERT_EQ(wasNull.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_TRUE(wasNull.get());
    EXPECT_EQ(host.Requests(kFilePath).size(), 1u) << "a cancelled download does not try again";
}

TEST_F(DownloadFaultTest, MemoryDownloadTriesTwice)
{
    host.SetAnswers(kFilePath, json::array({{{"status", 500}}, {{"body_size", 5000}}}));
    auto data = manager->DownloadToMemory(kFileUrl);
    ASSERT_TRUE(data);
    EXPECT_TRUE(std::string(data->begin(), data->end()) == GeneratedBytes(5000));

    host.Reset();
    host.SetAnswers(kFilePath, json::array({{{"status", 500}}, {{"status", 404}}, {{"body_size", 5000}}}));
    data = manager->DownloadToMemory(kFileUrl);
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->empty());
    EXPECT_EQ(host.Requests(kFilePath).size(), 2u);
}
