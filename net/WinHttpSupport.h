// What the HTTP client and the download manager share about WinHTTP: the proxy
// settings and TLS versions of this Windows version, and splitting an address.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>

// WINHTTP_ACCESS_TYPE_DEFAULT_PROXY on Windows 7, which keeps its proxy in the WinHTTP
// settings; WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY on every other version.
DWORD WinHttpAccessType();

// SSL 3.0 and TLS 1.0, with TLS 1.1 and 1.2 from Windows 7 with Service Pack 1 on.
DWORD WinHttpSecureProtocols();

// An address split with WinHttpCrackUrl.
struct UrlParts {
    INTERNET_SCHEME scheme = 0;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path;      // the path alone
    std::wstring extraInfo; // the query and fragment, from "?" or "#"
};

// False, with empty parts, when the address cannot be split.
bool SplitUrl(const std::wstring& url, UrlParts& parts);
