#include "install/DownloadManager.h"

#include "DownloadFixtures.h"
#include "InstallFixtures.h"
#include "config/ConfigurationManager.h"
#include "install/PayloadDigest.h"
#include "shell/WindowMessages.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>

using namespace testing_support;

namespace {

class DownloadManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(files.Available()) << "no file server: run the tests through scripts/test.sh";
        auto configuration = ConfigurationManager::GetInstance();
        configuration->workingFolder = working.Path();
        configuration->downloadFolder = downloads.Path();
        manager = std::make_shared<DownloadManager>();
        manager->m_fallbackPauseMs = 50;
    }

    // Runs the download on a worker, as the pages do, and sets the cancel flag once
    // the first progress message has arrived, after calling midway.
    std::pair<bool, CString> DownloadCancelledAtFirstProgress(const CString& url, const std::function<void()>& midway)
    {
        auto future = std::async(std::launch::async,
                                 [&] { return manager->Download(url, window.Handle(), CString(), true); });
        while (future.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
            for (const auto& message : window.Drain()) {
                if (message.first == WM_DOWNLOAD_PROGRESS && !manager->m_cancel) {
                    midway();
                    manager->m_cancel = true;
                }
            }
        }
        return future.get();
    }

    NginxFiles files;
    TempFolder working;
    TempFolder downloads;
    ProgressWindow window;
    std::shared_ptr<DownloadManager> manager;
};

// Rising percentages, then the closing message with wParam 1.
void ExpectProgressInOrder(const std::vector<std::pair<UINT, WPARAM>>& messages)
{
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages.back(), std::make_pair(WM_DOWNLOAD_PROGRESS, WPARAM(1)));
    WPARAM last = 0;
    for (size_t i = 0; i + 1 < messages.size(); ++i) {
        EXPECT_EQ(messages[i].first, WM_DOWNLOAD_PROGRESS) << "message " << i;
        EXPECT_GT(messages[i].second, last) << "message " << i;
        EXPECT_LE(messages[i].second, 100u) << "message " << i;
        last = messages[i].second;
    }
    EXPECT_GE(last, 99u);
}

} // namespace

TEST_F(DownloadManagerTest, DownloadsWithProgressInOrder)
{
    const std::string body = PatternBytes(3 * 1024 * 1024 + 17);
    ASSERT_TRUE(files.Put("files/product.bin", body));
    struct Case {
        const char* what;
        CString url;
        CString fileName;
        bool toWorkingFolder;
        CString expectedPath;
    };
    const Case cases[] = {
        {"https, name from the address", files.Https("files/product.bin?token=1"), L"", true,
         working.File(L"product.bin")},
        {"http, configured name", files.Http("files/product.bin"), L"Product Setup.exe", false,
         downloads.File(L"Product Setup.exe")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A copy from an earlier run is replaced once the new one is complete.
        ASSERT_TRUE(WriteFileBytes(c.expectedPath, "an earlier copy"));
        auto result = manager->Download(c.url, window.Handle(), c.fileName, c.toWorkingFolder);
        EXPECT_TRUE(result.first);
        EXPECT_EQ(result.second, L"");
        EXPECT_EQ(manager->m_lastFilePath, c.expectedPath);
        EXPECT_TRUE(ReadFileBytes(c.expectedPath) == body) << "downloaded bytes differ";
        EXPECT_FALSE(FileExists(c.expectedPath + L".part"));
        ExpectProgressInOrder(window.Drain());
    }
}

TEST_F(DownloadManagerTest, FollowsFiveRedirectsAndFailsTheSixthOverWinHttp)
{
    const std::string body = PatternBytes(50000, 2);
    ASSERT_TRUE(files.Put("r/file.bin", body));
    ASSERT_TRUE(files.Put("deep/up.bin", body));
    struct Case {
        const char* what;
        CString url;
        const wchar_t* message;
    };
    const Case cases[] = {
        {"five redirects", files.Https("hop/5/r/file.bin"), L""},
        {"relative Location", files.Http("deep/dir/go"), L""},
        {"Location longer than 260", files.Https("long/r/file.bin"), L""},
        // WinINet follows the redirects itself and fetches the file.
        {"six redirects", files.Https("hop/6/r/file.bin"), L"[WINHTTP] Too many redirects."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto result = manager->Download(c.url, window.Handle(), L"out.bin", true);
        EXPECT_TRUE(result.first);
        EXPECT_EQ(result.second, c.message);
        EXPECT_TRUE(ReadFileBytes(working.File(L"out.bin")) == body) << "downloaded bytes differ";
        window.Drain();
    }
}

// A failed download never touches a file of the same name that was there before (the
// product from an earlier run, in the user's Downloads folder).
TEST_F(DownloadManagerTest, BothWaysFailingJoinTheirTextsAndKeepAnEarlierFile)
{
    struct Case {
        const char* what;
        CString url;
        CString winHttpText;
        CString winInetText;
    };
    const Case cases[] = {
        {"missing file", files.Https("no/such.bin"), L"Download failed: Server returned status code: 404",
         L"Server returned status code: HTTP 404 - "},
        {"nobody listening", L"http://127.0.0.1:9/such.bin", L"Failed to send request: ", L"Failed to open URL:: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileBytes(working.File(L"such.bin"), "an older file"));
        auto result = manager->Download(c.url, window.Handle(), CString(), true);
        EXPECT_FALSE(result.first);
        const CString winHttp = L"[WINHTTP] " + c.winHttpText;
        const int split = result.second.Find(L" [WININET] ");
        ASSERT_GT(split, 0) << ToAnsi(result.second);
        EXPECT_EQ(result.second.Left(winHttp.GetLength()), winHttp);
        EXPECT_EQ(result.second.Mid(split + 11, c.winInetText.GetLength()), c.winInetText);
        EXPECT_EQ(ReadFileBytes(working.File(L"such.bin")), "an older file");
        EXPECT_FALSE(FileExists(working.File(L"such.bin.part")));
        EXPECT_EQ(manager->m_lastFilePath, L"");
    }
}

// A file that is not the one the configuration names by its digest is never kept: both
// ways refuse it, it is removed, and a file of that name from before stays as it was.
TEST_F(DownloadManagerTest, AFileIsKeptOnlyWithTheExpectedDigest)
{
    const std::string body = PatternBytes(300000, 5);
    std::string flipped = body;
    flipped[123456] = static_cast<char>(flipped[123456] ^ 0x01);
    const std::string other = PatternBytes(300000, 6);
    std::string digest;
    ASSERT_TRUE(WriteFileBytes(working.File(L"reference.bin"), body));
    ASSERT_TRUE(Sha256OfFile(working.File(L"reference.bin"), digest));
    std::string upper = digest;
    for (auto& ch : upper)
        ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    struct Case {
        const char* what;
        std::string served;
        std::string expected;
        bool kept;
    };
    const Case cases[] = {
        {"the right file", body, digest, true},
        {"the right file, digest in capitals", body, upper, true},
        {"no digest given", other, "", true},
        {"one byte flipped", flipped, digest, false},
        {"another file of the same size", other, digest, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(files.Put("sha/payload.bin", c.served));
        ASSERT_TRUE(WriteFileBytes(working.File(L"payload.bin"), "an older file"));
        manager->m_lastFilePath.Empty();
        auto result = manager->Download(files.Https("sha/payload.bin"), window.Handle(), CString(), true, c.expected);
        window.Drain();
        EXPECT_EQ(result.first, c.kept) << ToAnsi(result.second);
        EXPECT_FALSE(FileExists(working.File(L"payload.bin.part")));
        if (c.kept) {
            EXPECT_TRUE(ReadFileBytes(working.File(L"payload.bin")) == c.served);
            continue;
        }
        EXPECT_EQ(ReadFileBytes(working.File(L"payload.bin")), "an older file");
        EXPECT_EQ(manager->m_lastFilePath, L"");
        const CString mismatch = L"The downloaded file does not match its SHA-256 digest: expected " +
                                 CString(digest.c_str()) + L", got ";
        const int winInet = result.second.Find(L" [WININET] ");
        ASSERT_GT(winInet, 0) << ToAnsi(result.second);
        EXPECT_EQ(result.second.Left(10 + mismatch.GetLength()), L"[WINHTTP] " + mismatch) << ToAnsi(result.second);
        EXPECT_EQ(result.second.Mid(winInet + 11, mismatch.GetLength()), mismatch) << ToAnsi(result.second);
    }
}

TEST_F(DownloadManagerTest, MissingFolderTellsTheUserOncePerWay)
{
    ASSERT_TRUE(files.Put("files/a.bin", "abc"));
    ConfigurationManager::GetInstance()->workingFolder = working.File(L"gone");
    MessageBoxAnswerer answerer;

    auto result = manager->Download(files.Https("files/a.bin"), window.Handle(), CString(), true);

    EXPECT_FALSE(result.first);
    EXPECT_EQ(result.second.Find(L"[WINHTTP] Failed to open file for writing: "), 0) << ToAnsi(result.second);
    EXPECT_GT(result.second.Find(L" [WININET] Failed to open file for writing: "), 0) << ToAnsi(result.second);
    EXPECT_EQ(answerer.Texts(), (std::vector<std::wstring>{L"Invalid path", L"Invalid path"}));
}

TEST_F(DownloadManagerTest, CancelEndsTheDownloadForGood)
{
    // The slow path sends 64 KiB a second: the download is cancelled long before its end.
    ASSERT_TRUE(files.Put("files/big.bin", PatternBytes(4 * 1024 * 1024, 3)));
    struct Case {
        const char* what;
        CString url;
        const wchar_t* message;
    };
    const Case cases[] = {
        {"during WinHTTP: WinINet does not start", files.Https("slow/files/big.bin"),
         L"[WINHTTP] Download cancelled."},
        {"during WinINet", files.Https("hop/6/slow/files/big.bin"),
         L"[WINHTTP] Too many redirects. [WININET] Download cancelled."},
    };
    const CString target = working.File(L"big.bin");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileBytes(target, "an earlier copy"));
        manager = std::make_shared<DownloadManager>();
        manager->m_fallbackPauseMs = 50;
        // Half-way, the real name still holds the earlier copy, not a part of the new one.
        std::string midway;
        auto result = DownloadCancelledAtFirstProgress(c.url, [&] { midway = ReadFileBytes(target); });
        EXPECT_FALSE(result.first);
        EXPECT_EQ(result.second, c.message);
        EXPECT_EQ(midway, "an earlier copy");
        // The transfer that was cut off removes its own file when it notices; the earlier
        // copy stays as it was.
        EXPECT_TRUE(FileGoesAway(target + L".part"));
        EXPECT_EQ(ReadFileBytes(target), "an earlier copy");
        EXPECT_EQ(manager->m_lastFilePath, L"");
    }
}

TEST_F(DownloadManagerTest, MemoryDownloads)
{
    const std::string body = PatternBytes(200000, 4);
    ASSERT_TRUE(files.Put("img/pic.png", body));

    auto data = manager->DownloadToMemory(files.Https("hop/2/img/pic.png"));
    ASSERT_TRUE(data);
    EXPECT_TRUE(std::string(data->begin(), data->end()) == body);

    // A body longer than the bound is dropped, not held.
    ASSERT_TRUE(files.Put("img/huge.png", std::string(DownloadManager::MaxMemoryDownloadBytes + 1, 'p')));
    for (const CString& url :
         {files.Https("img/none.png"), files.Https("hop/6/img/pic.png"), files.Https("img/huge.png")}) {
        SCOPED_TRACE(ToAnsi(url));
        auto failed = manager->DownloadToMemory(url);
        ASSERT_TRUE(failed);
        EXPECT_TRUE(failed->empty());
    }
    EXPECT_TRUE(window.Drain().empty()) << "memory downloads post no messages";
}

TEST_F(DownloadManagerTest, AsyncMemoryDownloadGivesNullOnceCancelled)
{
    const std::string body = PatternBytes(1000, 5);
    ASSERT_TRUE(files.Put("img/small.png", body));

    auto receive = [&](std::shared_ptr<DownloadManager> downloader) {
        auto delivered = std::make_shared<std::promise<std::unique_ptr<std::vector<char>>>>();
        auto future = delivered->get_future();
        downloader->DownloadToMemoryAsync(files.Https("img/small.png"),
                                          [delivered](std::unique_ptr<std::vector<char>> data) {
                                              delivered->set_value(std::move(data));
                                          });
        EXPECT_EQ(future.wait_for(std::chrono::seconds(60)), std::future_status::ready);
        return future.get();
    };

    auto data = receive(manager);
    ASSERT_TRUE(data);
    EXPECT_TRUE(std::string(data->begin(), data->end()) == body);

    manager->m_cancel = true;
    EXPECT_EQ(receive(manager), nullptr);
}
