#include "net/HttpClient.h"

#include "config/SystemFacts.h"
#include "net/OrvaneException.h"
#include "net/WinHttpSupport.h"
#include "win32/WinHttpHandle.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

void WriteDiagnostic(const char* text)
{
    printf("%s\n", text);
    fflush(stdout);
}

// No answer the wizard reads comes near this; reading stops just past it, so a server
// that sends without end cannot fill the memory (callers refuse the oversized text).
constexpr size_t MaxAnswerBytes = 8 * 1024 * 1024 + 1;

void ReadBody(HINTERNET request, std::string& response)
{
    while (response.size() < MaxAnswerBytes) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available)) {
            char text[80];
            snprintf(text, sizeof(text), "Error %lu in WinHttpQueryDataAvailable.", GetLastError());
            WriteDiagnostic(text);
            return;
        }
        if (available == 0)
            return;
        // One byte more than asked for, all zero: the piece is read as text up to its first NUL.
        std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(available) + 1]());
        if (!buffer) {
            WriteDiagnostic("Out of memory");
            return;
        }
        DWORD read = 0;
        if (WinHttpReadData(request, buffer.get(), available, &read)) {
            response.append(buffer.get());
        } else {
            char text[80];
            snprintf(text, sizeof(text), "Error %lu in WinHttpReadData.", GetLastError());
            WriteDiagnostic(text);
        }
    }
}

} // namespace

bool SendRequest(const std::wstring& url, const std::string& body, const HeaderList& headers,
                 std::string& response, DWORD& status)
{
    // Windows 7 without Service Pack 1 cannot speak the TLS versions the server needs.
    if (IsWindowsAtLeast(6, 1, 0) && !IsWindowsAtLeast(6, 1, 1))
        throw OrvaneException("");

    UrlParts parts;
    if (!SplitUrl(url, parts))
        throw OrvaneException("");

    // The scheme and port of the address are not used, nor its query: always TLS on 443.
    if (!HttpPost(parts.host, parts.path, body, headers, response, status))
        throw OrvaneException("");
    return true;
}

bool HttpPost(const std::wstring& host, const std::wstring& path, const std::string& body, HeaderList headers,
              std::string& response, DWORD& status)
{
    win32::unique_winhttp session(
        WinHttpOpen(nullptr, WinHttpAccessType(), WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return false;

    DWORD protocols = WinHttpSecureProtocols();
    if (!WinHttpSetOption(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols)))
        return false;

    win32::unique_winhttp connection(WinHttpConnect(session.get(), host.c_str(), INTERNET_DEFAULT_HTTPS_PORT, 0));
    if (!connection)
        return false;
    win32::unique_winhttp request(WinHttpOpenRequest(connection.get(), L"POST", path.c_str(), nullptr,
                                                     WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                     WINHTTP_FLAG_SECURE));
    if (!request)
        return false;

    headers.emplace_back(L"Expect", L"100-continue");
    headers.emplace_back(L"Content-Type", L"application/json");
    for (const auto& header : headers) {
        const std::wstring line = header.first + L": " + header.second;
        if (!WinHttpAddRequestHeaders(request.get(), line.c_str(), static_cast<DWORD>(line.size()),
                                      WINHTTP_ADDREQ_FLAG_ADD)) {
            char text[80];
            snprintf(text, sizeof(text), "WinHttpAddRequestHeaders error: %d", static_cast<int>(GetLastError()));
            WriteDiagnostic(text);
        }
    }

    // The body ends at its first NUL byte.
    const DWORD length = static_cast<DWORD>(strlen(body.c_str()));
    if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            length ? const_cast<char*>(body.c_str()) : WINHTTP_NO_REQUEST_DATA, length, length, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr))
        return false;

    DWORD code = 0;
    DWORD size = sizeof(code);
    if (WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX))
        status = code;

    ReadBody(request.get(), response);
    // The handles close in reverse order of opening: request, connection, session.
    return true;
}
