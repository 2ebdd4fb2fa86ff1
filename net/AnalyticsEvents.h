// What the analytics posts share: the final event kinds, the affiliate of a country,
// the pause between attempts and the bound on one exchange with the endpoint.
#pragma once

#include "net/HttpClient.h"

#include <windows.h>

#include <chrono>
#include <string>

// Kinds after which a package reports nothing more: -1, 2, 3, 4 and 5.
bool IsFinalEventKind(int kind);

// The affiliate text of a two-letter country code (exact, case-sensitive); "91082" for
// a code not in the table, the empty code included.
std::string AffiliateForCountry(const std::string& countryCode);

// One exchange with the analytics endpoint, as SendRequest, but never longer than the
// exchange bound: a server that takes the request and then stays silent (or trickles
// its answer) is treated like one that gave no answer, OrvaneException. Wine ignores
// WinHTTP's own time-outs over TLS, so the bound is kept here.
bool SendEventRequest(const std::wstring& url, const std::string& body, const HeaderList& headers,
                      std::string& response, DWORD& status);

// The pause after a failed attempt (5 s) and the exchange bound (30 s, Windows' own
// default for receiving an answer). Tests put shorter ones in their place; zero restores
// the defaults.
void SetEventRetryPauseForTesting(DWORD milliseconds);
void SetEventExchangeLimitForTesting(DWORD milliseconds);
DWORD EventRetryPause();
std::chrono::milliseconds EventExchangeLimit();
