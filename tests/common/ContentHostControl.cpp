#include "tests/common/ContentHostControl.h"

#include "win32/WinHttpHandle.h"

#include <cctype>
#include <stdexcept>
#include <vector>

namespace testing_support {

namespace {

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[256] = {};
    DWORD length = GetEnvironmentVariableW(name, value, static_cast<DWORD>(std::size(value)));
    return length > 0 && length < std::size(value) ? std::wstring(value, length) : std::wstring();
}

// Percent-encodes a path for the query string, keeping what never needs it.
std::wstring QueryValue(const std::string& text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::wstring encoded;
    for (unsigned char c : text) {
        if (isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            encoded += static_cast<wchar_t>(c);
        } else {
            encoded += L'%';
            encoded += static_cast<wchar_t>(hex[c >> 4]);
            encoded += static_cast<wchar_t>(hex[c & 0x0F]);
        }
    }
    return encoded;
}

} // namespace

ContentHostControl::ContentHostControl() : m_host(L"127.0.0.1")
{
    std::wstring address = Environment(L"ORVANE_CONTENT_CONTROL");
    size_t colon = address.rfind(L':');
    if (colon != std::wstring::npos && colon > 0) {
        m_host = address.substr(0, colon);
        m_port = static_cast<unsigned short>(std::stoul(address.substr(colon + 1)));
    }
}

std::string ContentHostControl::Call(const wchar_t* verb, const std::wstring& path, const std::string& body) const
{
    const std::string where = "content host control " + std::string(m_host.begin(), m_host.end()) + ":" +
                              std::to_string(m_port) + std::string(path.begin(), path.end());
    win32::unique_winhttp session(WinHttpOpen(L"OrvaneTests", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                              WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        throw std::runtime_error(where + ": WinHttpOpen failed");
    win32::unique_winhttp connection(WinHttpConnect(session.get(), m_host.c_str(), m_port, 0));
    if (!connection)
        throw std::runtime_error(where + ": WinHttpConnect failed");
    win32::unique_winhttp request(WinHttpOpenRequest(connection.get(), verb, path.c_str(), nullptr,
                                                     WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
    if (!request)
        throw std::runtime_error(where + ": WinHttpOpenRequest failed");
    const DWORD length = static_cast<DWORD>(body.size());
    if (!WinHttpSendRequest(request.get(), L"Content-Type: application/json\r\n", static_cast<DWORD>(-1),
                            length ? const_cast<char*>(body.data()) : WINHTTP_NO_REQUEST_DATA, length, length, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr))
        throw std::runtime_error(where + ": no answer (error " + std::to_string(GetLastError()) + ")");

    DWORD status = 0;
    DWORD size = sizeof(status);
    WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    std::string answer;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request.get(), &available) || available == 0)
            break;
        std::vector<char> buffer(available);
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), buffer.data(), available, &read) || read == 0)
            break;
        answer.append(buffer.data(), read);
    }
    if (status != 200)
        throw std::runtime_error(where + ": status " + std::to_string(status) + ": " + answer);
    return answer;
}

bool ContentHostControl::Available() const
{
    try {
        return Call(L"GET", L"/ping", std::string()) == "ok";
    } catch (const std::exception&) {
        return false;
    }
}

void ContentHostControl::Reset() const
{
    Call(L"POST", L"/reset", "{}");
}

void ContentHostControl::SetScenario(const nlohmann::json& scenario) const
{
    Call(L"POST", L"/scenario", scenario.dump());
}

void ContentHostControl::SetAnswers(const std::string& path, const nlohmann::json& answers) const
{
    SetScenario({{"answers", {{path, answers}}}});
}

nlohmann::json ContentHostControl::Requests(const std::string& path) const
{
    std::wstring target = L"/requests";
    if (!path.empty())
        target += L"?path=" + QueryValue(path);
    return nlohmann::json::parse(Call(L"GET", target, std::string()));
}

nlohmann::json ContentHostControl::Events() const
{
    return nlohmann::json::parse(Call(L"GET", L"/events", std::string()));
}

std::vector<std::pair<std::string, std::string>> ContentHostControl::Headers(const nlohmann::json& request)
{
    std::vector<std::pair<std::string, std::string>> headers;
    for (const auto& pair : request.at("headers"))
        headers.emplace_back(pair.at(0).get<std::string>(), pair.at(1).get<std::string>());
    return headers;
}

std::string ContentHostControl::Base64(const std::string& bytes)
{
    static const char* const digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned value = (static_cast<unsigned char>(bytes[i]) << 16) |
                               (static_cast<unsigned char>(bytes[i + 1]) << 8) | static_cast<unsigned char>(bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6)
            text += digits[(value >> shift) & 63];
    }
    if (i < bytes.size()) {
        unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        text += digits[(value >> 18) & 63];
        text += digits[(value >> 12) & 63];
        text += i + 1 < bytes.size() ? digits[(value >> 6) & 63] : '=';
        text += '=';
    }
    return text;
}

} // namespace testing_support
