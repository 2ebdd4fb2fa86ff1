// The small synchronous client of the wizard's server requests: a text body posted
// over TLS to port 443, the status and the answer's text handed back.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// Request headers as (name, value) pairs, sent in list order.
using HeaderList = std::vector<std::pair<std::wstring, std::wstring>>;

// Posts body (up to its first NUL byte) to the host and path of url, always over TLS on
// port 443, with the caller's headers followed by "Expect" and "Content-Type". Appends the
// answer's text to response and stores its status code in status. Returns true once an
// answer arrived, whatever its status; throws OrvaneException when nothing can be sent or
// no answer arrives, and on Windows 7 without Service Pack 1.
bool SendRequest(const std::wstring& url, const std::string& body, const HeaderList& headers,
                 std::string& response, DWORD& status);

// The transfer behind SendRequest: true when the request was sent and an answer received.
bool HttpPost(const std::wstring& host, const std::wstring& path, const std::string& body, HeaderList headers,
              std::string& response, DWORD& status);
