#include "config/BuildSettings.h"
#include "config/SystemFacts.h"
#include "net/HttpClient.h"
#include "net/OrvaneException.h"
#include "tests/common/ContentHostControl.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

using testing_support::ContentHostControl;

namespace {

std::wstring HostUrl(const std::wstring& rest)
{
    return std::wstring(L"https://") + build::ContentHost + rest;
}

// Sends the standard output of this process to a file while it lives.
class StdoutCapture {
public:
    StdoutCapture() : m_file(m_folder.File(L"stdout.txt"))
    {
        fflush(stdout);
        m_saved = _dup(_fileno(stdout));
        int fd = _wopen(m_file, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
        _dup2(fd, _fileno(stdout));
        _close(fd);
    }
    ~StdoutCapture() { Restore(); }
    std::string Text()
    {
        Restore();
        return testing_support::ReadFileBytes(m_file);
    }

private:
    void Restore()
    {
        if (m_saved < 0)
            return;
        fflush(stdout);
        _dup2(m_saved, _fileno(stdout));
        _close(m_saved);
        m_saved = -1;
    }
    testing_support::TempFolder m_folder;
    CString m_file;
    int m_saved = -1;
};

class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_host.Available()) << "the content host does not answer";
        m_host.Reset();
    }
    void TearDown() override { SetVersionCheckForTesting(nullptr); }

    ContentHostControl m_host;
    std::string m_response;
    DWORD m_status = 0;
};

TEST_F(HttpClientTest, SendsCallerHeadersThenExpectAndContentTypeAndNoUserAgent)
{
    m_host.SetAnswers("/echo", {{{"body", "done"}}});
    const HeaderList headers = {{L"Authorization", L"Signature=00ff"}, {L"X-Trace", L"7"}};

    ASSERT_TRUE(SendRequest(HostUrl(L"/echo"), R"({"k":"v"})", headers, m_response, m_status));
    EXPECT_EQ(200u, m_status);
    EXPECT_EQ("done", m_response);

    const auto requests = m_host.Requests("/echo");
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST", requests[0]["method"]);
    EXPECT_EQ(R"({"k":"v"})", requests[0]["body"]);
    const auto sent = ContentHostControl::Headers(requests[0]);
    ASSERT_GE(sent.size(), 4u);
    const std::vector<std::pair<std::string, std::string>> first(sent.begin(), sent.begin() + 4);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Authorization", "Signature=00ff"}, {"X-Trace", "7"}, {"Expect", "100-continue"},
        {"Content-Type", "application/json"}};
    EXPECT_EQ(expected, first);
    for (const auto& header : sent)
        EXPECT_NE(0, _stricmp(header.first.c_str(), "User-Agent")) << header.second;
}

TEST_F(HttpClientTest, GoesOverTlsToPort443WhateverTheSchemeAndPortAndDropsTheQuery)
{
    const struct {
        const wchar_t* url;
        const char* path;
    } cases[] = {
        {L"http://%s/plain", "/plain"},
        {L"https://%s:8443/port", "/port"},
        {L"http://%s:80/both?x=1&y=2", "/both"},
        {L"https://%s/query?token=abc#part", "/query"},
    };
    for (const auto& c : cases) {
        CString url;
        url.Format(c.url, build::ContentHost);
        m_response.clear();
        ASSERT_TRUE(SendRequest(url.str(), "{}", {}, m_response, m_status)) << ToAnsi(url);
        // Only the TLS listener on 443 logs requests, so arriving there is the proof.
        const auto requests = m_host.Requests(c.path);
        ASSERT_EQ(1u, requests.size()) << ToAnsi(url);
        EXPECT_EQ(c.path, requests[0]["target"]) << ToAnsi(url);
        EXPECT_TRUE(requests[0]["tls"].get<bool>());
    }
}

TEST_F(HttpClientTest, ReturnsErrorAnswersWithTheirBodyAppended)
{
    m_host.SetAnswers("/err", {{{"status", 404}, {"body", "not here"}}, {{"status", 500}, {"body", "<h1>broken</h1>"}}});
    m_response = "before|";
    ASSERT_TRUE(SendRequest(HostUrl(L"/err"), "{}", {}, m_response, m_status));
    EXPECT_EQ(404u, m_status);
    EXPECT_EQ("before|not here", m_response);

    ASSERT_TRUE(SendRequest(HostUrl(L"/err"), "{}", {}, m_response, m_status));
    EXPECT_EQ(500u, m_status);
    EXPECT_EQ("before|not here<h1>broken</h1>", m_response);
}

TEST_F(HttpClientTest, JoinsBodyPiecesAndCutsEachPieceAtItsFirstNul)
{
    const nlohmann::json pieces = {R"({"a":)", std::string("1\0junk", 6), "}"};
    m_host.SetAnswers("/pieces", {{{"pieces", pieces}, {"piece_delay_ms", 150}},
                                  {{"pieces", pieces}, {"piece_delay_ms", 150}, {"chunked", true}},
                                  {{"pieces", pieces}, {"piece_delay_ms", 150}, {"content_length", nullptr}}});
    for (const char* framing : {"length", "chunked", "until close"}) {
        m_response.clear();
        ASSERT_TRUE(SendRequest(HostUrl(L"/pieces"), "{}", {}, m_response, m_status)) << framing;
        EXPECT_EQ(R"({"a":1})", m_response) << framing;
    }
}

TEST_F(HttpClientTest, SendsTheBodyUpToItsFirstNul)
{
    m_host.SetAnswers("/nul", {{{"body", "ok"}}});
    ASSERT_TRUE(SendRequest(HostUrl(L"/nul"), std::string("{\"a\":1}\0tail", 12), {}, m_response, m_status));
    const auto requests = m_host.Requests("/nul");
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(R"({"a":1})", requests[0]["body"]);
}

TEST_F(HttpClientTest, ThrowsWhenNoAnswerArrivesOrTheAddressCannotBeSplit)
{
    m_host.SetAnswers("/drop", {{{"drop", true}}});
    EXPECT_THROW(SendRequest(HostUrl(L"/drop"), "{}", {}, m_response, m_status), OrvaneException);

    EXPECT_THROW(SendRequest(L"not an address", "{}", {}, m_response, m_status), OrvaneException);
    EXPECT_THROW(SendRequest(L"", "{}", {}, m_response, m_status), OrvaneException);
    EXPECT_EQ(1u, m_host.Requests().size());
}

bool Windows7WithoutServicePack(DWORD major, DWORD minor, WORD servicePack)
{
    return major < 6 || (major == 6 && minor < 1) || (major == 6 && minor == 1 && servicePack == 0);
}

TEST_F(HttpClientTest, SendsNothingOnWindows7WithoutServicePack)
{
    SetVersionCheckForTesting(Windows7WithoutServicePack);
    EXPECT_THROW(SendRequest(HostUrl(L"/o"), "{}", {}, m_response, m_status), OrvaneException);
    EXPECT_TRUE(m_host.Requests().empty());
}

bool Windows7WithServicePack1(DWORD major, DWORD minor, WORD servicePack)
{
    return major < 6 || (major == 6 && minor < 1) || (major == 6 && minor == 1 && servicePack <= 1);
}

TEST_F(HttpClientTest, SendsOnWindows7WithServicePack1)
{
    // Windows 7 takes the other proxy setting and keeps the newer TLS versions.
    SetVersionCheckForTesting(Windows7WithServicePack1);
    ASSERT_TRUE(SendRequest(HostUrl(L"/o"), "{}", {}, m_response, m_status));
    EXPECT_EQ(200u, m_status);
    EXPECT_EQ(1u, m_host.Requests("/o").size());
}

TEST_F(HttpClientTest, ReportsARefusedHeaderOnStandardOutputAndSendsTheRest)
{
    m_host.SetAnswers("/refused", {{{"body", "ok"}}});
    StdoutCapture capture;
    ASSERT_TRUE(SendRequest(HostUrl(L"/refused"), "{}", {{L"Bad Name", L"x"}, {L"X-Good", L"1"}}, m_response,
                            m_status));
    const std::string printed = capture.Text();

    EXPECT_EQ("WinHttpAddRequestHeaders error: 12153\n", printed);
    const auto requests = m_host.Requests("/refused");
    ASSERT_EQ(1u, requests.size());
    const auto sent = ContentHostControl::Headers(requests[0]);
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ("X-Good", sent[0].first);
    EXPECT_EQ("Expect", sent[1].first);
    EXPECT_EQ("Content-Type", sent[2].first);
}

// A server that sends without end cannot fill the memory: reading stops just past the
// largest answer the wizard reads (which then refuses the text as too large).
TEST_F(HttpClientTest, ReadingStopsJustPastTheLargestAnswer)
{
    m_host.SetAnswers("/huge", {{{"body_size", 100 << 20}, {"body_fill", "x"}}});
    ASSERT_TRUE(SendRequest(HostUrl(L"/huge"), "{}", {}, m_response, m_status));
    EXPECT_EQ(200u, m_status);
    EXPECT_GT(m_response.size(), 8u << 20);
    EXPECT_LT(m_response.size(), 9u << 20);
    EXPECT_EQ(m_response.find_first_not_of('x'), std::string::npos);
}

TEST_F(HttpClientTest, ABodyCutShortStillCountsAsAnAnswerWithWhatArrived)
{
    m_host.SetAnswers("/cut", {{{"body", "hello world"}, {"cut_after", 5}}});
    ASSERT_TRUE(SendRequest(HostUrl(L"/cut"), "{}", {}, m_response, m_status));
    EXPECT_EQ(200u, m_status);
    EXPECT_EQ("hello", m_response);
}

} // namespace
