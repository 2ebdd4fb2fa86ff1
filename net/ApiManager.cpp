#include "net/ApiManager.h"

#include "config/ConfigurationManager.h"
#include "config/SystemFacts.h"
#include "net/BoundedRequest.h"
#include "net/HttpClient.h"
#include "net/OrvaneException.h"
#include "win32/ProcessWide.h"
#include "win32/TextConversion.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

win32::ProcessWide<ApiManager> g_apiManager;
RetryPause g_retryPause = nullptr;

constexpr int Attempts = 3;
constexpr DWORD PauseMilliseconds = 5000;
// Windows' own bound on receiving an answer.
constexpr std::chrono::seconds AnswerLimit(30);
// Nothing legitimate comes near these; larger or deeper documents are refused before
// they are parsed, so a hostile answer cannot exhaust an elevated process.
constexpr size_t MaxResponseBytes = 8 * 1024 * 1024;
constexpr int MaxNesting = 64;

void Pause(DWORD milliseconds)
{
    if (g_retryPause)
        g_retryPause(milliseconds);
    else
        Sleep(milliseconds);
}

// Narrow text in the code page of the file functions, where the path came from.
std::string ToFileApiCodePage(const std::wstring& text)
{
    return win32::ToNarrow(text, AreFileApisANSI() ? CP_ACP : CP_OEMCP);
}

std::string OwnDownloadToken()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return ToFileApiCodePage(DownloadTokenFromPath(std::wstring(path, length)));
}

std::string LanguageCode(const CString& localeName)
{
    std::string code = ToAnsi(localeName).substr(0, 2);
    std::transform(code.begin(), code.end(), code.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return code;
}

std::string BuildRequestBody(ConfigurationManager& configuration)
{
    nlohmann::json request = nlohmann::json::object();
    request["prv"] = "0.1";
    request["plv"] = ToAnsi(configuration.programVersion);
    request["l"] = LanguageCode(configuration.localeName);
    request["a"] = ToAnsi(configuration.makerName);
    request["i"] = ToAnsi(configuration.channelName);
    request["s"] = ToAnsi(configuration.sourceName);
    request["u"] = OwnDownloadToken();
    request["o"] = GetOsVersionText();
    return request.dump();
}

// The deepest nesting of arrays and objects in the text, strings skipped.
int NestingDepth(const std::string& text)
{
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return deepest;
}

bool IsClassicSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::shared_ptr<ApiManager> ApiManager::GetInstance()
{
    return g_apiManager.Get([] { return std::make_shared<ApiManager>(); });
}

std::unique_ptr<nlohmann::json> ApiManager::RequestConfiguration()
{
    auto configuration = ConfigurationManager::GetInstance();
    if (configuration->configUrl.IsEmpty())
        throw OrvaneException("No configuration address");
    const std::wstring url = configuration->configUrl.str();
    const std::string body = BuildRequestBody(*configuration);

    std::string response;
    DWORD status = 0;
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        response.clear();
        // A transfer without an answer throws straight out: no further attempt.
        if (SendRequestWithin(url, body, HeaderList(), response, status, AnswerLimit) && status >= 200 &&
            status <= 399)
            break;
        char diagnostic[96];
        snprintf(diagnostic, sizeof(diagnostic), "Failed to send config request. %d %d", static_cast<int>(status),
                 static_cast<int>(GetLastError()));
        OutputDebugStringA(diagnostic);
        Pause(PauseMilliseconds);
    }

    return ParseConfigurationResponse(response);
}

std::unique_ptr<nlohmann::json> ApiManager::ParseConfigurationResponse(const std::string& response)
{
    // Only the blank test ignores whitespace; the parser sees the text as it came.
    if (std::all_of(response.begin(), response.end(), IsClassicSpace))
        throw OrvaneException("Empty configuration response");
    if (response.size() > MaxResponseBytes)
        throw OrvaneException("Configuration response too large");
    if (NestingDepth(response) > MaxNesting)
        throw OrvaneException("Configuration response nested too deeply");
    return std::make_unique<nlohmann::json>(nlohmann::json::parse(response, nullptr, true, false));
}

std::wstring DownloadTokenFromPath(const std::wstring& path)
{
    const size_t underscore = path.rfind(L'_');
    if (underscore == std::wstring::npos)
        return std::wstring();
    std::wstring token = path.substr(underscore + 1);
    const size_t dot = token.rfind(L'.');
    if (dot != std::wstring::npos)
        token.erase(dot);
    if (token.size() == 7 && token.find(L'-') != std::wstring::npos)
        return token;
    return std::wstring();
}

void SetRetryPauseForTesting(RetryPause pause)
{
    g_retryPause = pause;
}
