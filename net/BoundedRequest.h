// A server request that never takes longer than its bound. Windows gives a request 30 s
// to receive its answer; Wine ignores WinHTTP's time-outs over TLS, so a server that
// takes the request and then stays silent (or trickles its answer) would hold the
// caller for good. The bound is kept here instead.
#pragma once

#include "net/HttpClient.h"

#include <chrono>

// SendRequest on a thread of its own that owns copies of everything it uses; when the
// bound passes first, it is left to end by itself and OrvaneException is thrown, as
// for a request that got no answer.
bool SendRequestWithin(const std::wstring& url, const std::string& body, const HeaderList& headers,
                       std::string& response, DWORD& status, std::chrono::milliseconds limit);
