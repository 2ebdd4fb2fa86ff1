#include "net/AnalyticsEvents.h"

#include "net/BoundedRequest.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <unordered_map>

namespace {

const std::array<int, 5> FinalKinds = {-1, 2, 3, 4, 5};

constexpr DWORD DefaultRetryPauseMs = 5000;
constexpr DWORD DefaultExchangeLimitMs = 30000;
std::atomic<DWORD> g_retryPauseMs{DefaultRetryPauseMs};
std::atomic<DWORD> g_exchangeLimitMs{DefaultExchangeLimitMs};

using AffiliateTable = std::unordered_map<std::string, std::string>;

AffiliateTable BuildAffiliateTable()
{
    struct Group {
        const char* affiliate;
        std::initializer_list<const char*> countries;
    };
    const Group groups[] = {
        {"91088", {"US"}},
        {"91166", {"CA"}},
        {"91199", {"BR"}},
        {"91214", {"AU", "NZ", "KR"}},
        {"91105", {"DZ", "BG", "CY", "CZ", "EG", "GR", "HU", "IE", "IL", "KW", "MA", "PL",
                   "PT", "QA", "RO", "RU", "SA", "SK", "ZA", "TN", "TR", "UA", "AE"}},
        {"91215", {"TH", "MX", "PH", "AR", "VN", "TW", "PE", "CL", "CO", "VE", "RS",
                   "LK", "DO", "JO", "HK", "LT", "PS", "HR", "CR", "BA", "SV", "GE",
                   "MD", "AL", "UY", "BY", "LB", "SN", "PA", "LV", "ID", "PK", "SG"}},
    };
    AffiliateTable table;
    for (const auto& group : groups)
        for (const char* country : group.countries)
            table.emplace(country, group.affiliate);
    return table;
}

} // namespace

bool IsFinalEventKind(int kind)
{
    return std::find(FinalKinds.begin(), FinalKinds.end(), kind) != FinalKinds.end();
}

std::string AffiliateForCountry(const std::string& countryCode)
{
    static const AffiliateTable table = BuildAffiliateTable();
    const auto found = table.find(countryCode);
    return found == table.end() ? "91082" : found->second;
}

bool SendEventRequest(const std::wstring& url, const std::string& body, const HeaderList& headers,
                      std::string& response, DWORD& status)
{
    return SendRequestWithin(url, body, headers, response, status, EventExchangeLimit());
}

void SetEventRetryPauseForTesting(DWORD milliseconds)
{
    g_retryPauseMs = milliseconds ? milliseconds : DefaultRetryPauseMs;
}

void SetEventExchangeLimitForTesting(DWORD milliseconds)
{
    g_exchangeLimitMs = milliseconds ? milliseconds : DefaultExchangeLimitMs;
}

DWORD EventRetryPause()
{
    return g_retryPauseMs;
}

std::chrono::milliseconds EventExchangeLimit()
{
    return std::chrono::milliseconds(g_exchangeLimitMs.load());
}
