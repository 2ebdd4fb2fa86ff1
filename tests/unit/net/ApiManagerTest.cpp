#include "config/ConfigurationManager.h"
#include "config/SystemFacts.h"
#include "net/ApiManager.h"
#include "net/OrvaneException.h"
#include "tests/common/ContentHostControl.h"
#include "tests/common/TestSupport.h"
#include "win32/UniqueResource.h"

#include <gtest/gtest.h>

#include <vector>

using testing_support::ContentHostControl;

namespace {

std::vector<DWORD> g_pauses;

void RecordPause(DWORD milliseconds)
{
    g_pauses.push_back(milliseconds);
}

class ConfigurationRequestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_host.Available()) << "the content host does not answer";
        m_host.Reset();
        m_savedUrl = m_configuration->configUrl;
        m_savedLocale = m_configuration->localeName;
        g_pauses.clear();
        SetRetryPauseForTesting(RecordPause);
    }
    void TearDown() override
    {
        SetRetryPauseForTesting(nullptr);
        m_configuration->configUrl = m_savedUrl;
        m_configuration->localeName = m_savedLocale;
    }

    // Answers of /o, each with a status and a body.
    void Answer(const std::vector<std::pair<int, std::string>>& answers)
    {
        nlohmann::json list = nlohmann::json::array();
        for (const auto& answer : answers)
            list.push_back({{"status", answer.first}, {"body", answer.second}});
        m_host.SetAnswers("/o", list);
    }

    std::unique_ptr<nlohmann::json> Request() { return ApiManager::GetInstance()->RequestConfiguration(); }

    ContentHostControl m_host;
    std::shared_ptr<ConfigurationManager> m_configuration = ConfigurationManager::GetInstance();
    CString m_savedUrl;
    CString m_savedLocale;
};

TEST_F(ConfigurationRequestTest, PostsACompactBodyInKeyOrderWithOnlyTheClientHeaders)
{
    m_host.SetScenario({{"config", {{"l", "FR"}, {"o", nlohmann::json::array()}}}});
    const struct {
        const wchar_t* locale;
        const char* language;
    } cases[] = {{L"DE-de", "de"}, {L"en_US", "en"}, {L"", ""}};

    for (const auto& c : cases) {
        m_configuration->localeName = c.locale;
        const auto document = Request();
        ASSERT_TRUE(document);
        EXPECT_EQ(nlohmann::json({{"l", "FR"}, {"o", nlohmann::json::array()}}), *document);
    }

    const auto requests = m_host.Requests("/o");
    ASSERT_EQ(3u, requests.size());
    for (size_t i = 0; i < 3; ++i) {
        // The executable is unit_net.exe: "net" is no download token.
        const std::string expected = std::string(R"({"a":"Tarvinel","i":"Tarvinel_DLM","l":")") + cases[i].language +
                                     R"(","o":")" + GetOsVersionText() + R"(","plv":")" +
                                     ToAnsi(m_configuration->programVersion) +
                                     R"(","prv":"0.1","s":"Tarvinel_3orv","u":""})";
        EXPECT_EQ(expected, requests[i]["body"]);
        const auto headers = ContentHostControl::Headers(requests[i]);
        ASSERT_GE(headers.size(), 2u);
        EXPECT_EQ("Expect", headers[0].first);
        EXPECT_EQ("Content-Type", headers[1].first);
        for (const auto& header : headers) {
            EXPECT_NE(0, _stricmp(header.first.c_str(), "Authorization"));
            EXPECT_NE(0, _stricmp(header.first.c_str(), "User-Agent"));
        }
    }
    EXPECT_TRUE(g_pauses.empty());
}

TEST_F(ConfigurationRequestTest, ThreeFailedAnswersGiveThreeRequestsThreePausesAndTheLastBody)
{
    Answer({{503, R"({"n":1})"}, {503, R"({"n":2})"}, {503, R"({"n":3})"}, {200, R"({"n":4})"}});
    const auto document = Request();
    ASSERT_TRUE(document);
    EXPECT_EQ(nlohmann::json({{"n", 3}}), *document);
    EXPECT_EQ(3u, m_host.Requests("/o").size());
    EXPECT_EQ(std::vector<DWORD>({5000, 5000, 5000}), g_pauses);
}

TEST_F(ConfigurationRequestTest, AFailureThenSuccessGivesTheSuccessfulDocumentOnly)
{
    Answer({{500, R"({"n":"error page"})"}, {200, R"({"n":"real"})"}});
    const auto document = Request();
    ASSERT_TRUE(document);
    EXPECT_EQ(nlohmann::json({{"n", "real"}}), *document);
    EXPECT_EQ(2u, m_host.Requests("/o").size());
    EXPECT_EQ(std::vector<DWORD>({5000}), g_pauses);
}

TEST_F(ConfigurationRequestTest, AnswersUpTo399CountAndFrom400AreRetried)
{
    Answer({{399, R"({"n":399})"}, {400, R"({"n":400})"}, {299, R"({"n":299})"}});
    EXPECT_EQ(nlohmann::json({{"n", 399}}), *Request());
    EXPECT_EQ(nlohmann::json({{"n", 299}}), *Request());
    EXPECT_EQ(std::vector<DWORD>({5000}), g_pauses);
}

TEST_F(ConfigurationRequestTest, ABlankOrEmptyBodyIsTheProgramsErrorNotAParseError)
{
    for (const char* body : {"", " \r\n\t \v\f "}) {
        Answer({{200, body}});
        EXPECT_THROW(Request(), OrvaneException) << "body of " << strlen(body) << " characters";
    }
    Answer({{503, "busy"}, {503, "busy"}, {503, "  "}});
    EXPECT_THROW(Request(), OrvaneException);
}

TEST_F(ConfigurationRequestTest, TheParserSeesTheTextAsItCame)
{
    Answer({{200, "\n  {\"t\": \"a  b\"}\r\n"}});
    EXPECT_EQ("a  b", Request()->at("t"));

    for (const char* body : {"<html>busy</html>", R"({"a":1 /* comment */})", R"({"a":1} {"b":2})"}) {
        Answer({{200, body}});
        EXPECT_THROW(Request(), nlohmann::json::parse_error) << body;
    }
}

TEST_F(ConfigurationRequestTest, ATransferWithoutAnswerEndsAtOnce)
{
    m_host.SetAnswers("/o", {{{"drop", true}}, {{"body", "{}"}}});
    EXPECT_THROW(Request(), OrvaneException);
    EXPECT_EQ(1u, m_host.Requests("/o").size());
    EXPECT_TRUE(g_pauses.empty());
}

TEST_F(ConfigurationRequestTest, NoAddressMeansNoRequest)
{
    m_configuration->configUrl.Empty();
    EXPECT_THROW(Request(), OrvaneException);
    EXPECT_TRUE(m_host.Requests().empty());
}

TEST_F(ConfigurationRequestTest, SendsTheDownloadTokenOfItsOwnFileName)
{
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    testing_support::TempFolder folder;
    CString copy = folder.File(L"setup_ab12-cd.exe");
    ASSERT_TRUE(CopyFileW(self, copy, FALSE));

    // The copy runs only the child case below, which sends one configuration request.
    CString command;
    command.Format(L"\"%s\" --gtest_filter=OwnFileNameChild.*", copy.GetString());
    SetEnvironmentVariableW(L"ORVANE_NET_CHILD", L"1");
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const BOOL started =
        CreateProcessW(nullptr, command.GetBuffer(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableW(L"ORVANE_NET_CHILD", nullptr);
    ASSERT_TRUE(started);
    win32::unique_handle processHandle(process.hProcess);
    win32::unique_handle threadHandle(process.hThread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(processHandle.get(), 120000));
    DWORD exitCode = 1;
    GetExitCodeProcess(processHandle.get(), &exitCode);
    EXPECT_EQ(0u, exitCode);

    const auto requests = m_host.Requests("/o");
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("ab12-cd", nlohmann::json::parse(requests[0]["body"].get<std::string>()).at("u"));
}

TEST(OwnFileNameChild, SendsOneConfigurationRequest)
{
    wchar_t flag[8] = {};
    if (GetEnvironmentVariableW(L"ORVANE_NET_CHILD", flag, 8) == 0)
        GTEST_SKIP() << "runs as the child of SendsTheDownloadTokenOfItsOwnFileName";
    EXPECT_NO_THROW(ApiManager::GetInstance()->RequestConfiguration());
}

TEST(DownloadToken, IsTheSevenCharactersWithADashAfterTheLastUnderscore)
{
    const struct {
        const wchar_t* path;
        const wchar_t* token;
    } cases[] = {
        {L"C:\\Downloads\\setup_ab12-cd.exe", L"ab12-cd"},
        {L"C:\\Downloads\\setup_abc.exe", L""},
        {L"C:\\Downloads\\setup.exe", L""},
        {L"C:\\Downloads\\setup_abcdefg.exe", L""},
        {L"C:\\Downloads\\setup_ab12-cd", L"ab12-cd"},
        {L"C:\\Downloads\\setup_ab12-cd.tar.exe", L""},
        {L"C:\\my_ab12-cd\\setup.exe", L""},
        {L"C:\\Downloads\\a_b_-------.exe", L"-------"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.token, DownloadTokenFromPath(c.path)) << ToAnsi(c.path);
}

TEST(ApiManager, IsOneObjectPerProcess)
{
    EXPECT_EQ(ApiManager::GetInstance(), ApiManager::GetInstance());
}

} // namespace
