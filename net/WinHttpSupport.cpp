#include "net/WinHttpSupport.h"

#include "config/SystemFacts.h"

#ifndef WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY
#define WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY 4
#endif

DWORD WinHttpAccessType()
{
    const bool windows7 = IsWindowsAtLeast(6, 1, 0) && !IsWindowsAtLeast(6, 2, 0);
    return windows7 ? WINHTTP_ACCESS_TYPE_DEFAULT_PROXY : WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY;
}

DWORD WinHttpSecureProtocols()
{
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_SSL3 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1;
    if (IsWindowsAtLeast(6, 1, 1))
        protocols |= WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    return protocols;
}

bool SplitUrl(const std::wstring& url, UrlParts& parts)
{
    parts = UrlParts();
    // Lengths of -1 make the pieces point into the address itself.
    URL_COMPONENTS pieces = {};
    pieces.dwStructSize = sizeof(pieces);
    pieces.dwSchemeLength = static_cast<DWORD>(-1);
    pieces.dwHostNameLength = static_cast<DWORD>(-1);
    pieces.dwUrlPathLength = static_cast<DWORD>(-1);
    pieces.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &pieces))
        return false;
    auto piece = [](const wchar_t* text, DWORD length) {
        return text ? std::wstring(text, length) : std::wstring();
    };
    parts.scheme = pieces.nScheme;
    parts.host = piece(pieces.lpszHostName, pieces.dwHostNameLength);
    parts.port = pieces.nPort;
    parts.path = piece(pieces.lpszUrlPath, pieces.dwUrlPathLength);
    parts.extraInfo = piece(pieces.lpszExtraInfo, pieces.dwExtraInfoLength);
    return true;
}
