// Decides, offer by offer in response order, whether an offer may be shown on this
// machine: the rules across offers (maximum, verticals, exclusive offers) and the
// offer's own requirements. A rejected offer reports its reason as an analytics event.
// One checker serves one configuration load; the machine facts it gathers are kept
// for the rest of that load.
#pragma once

#include "framework/CString.h"
#include "offers/RegistryAccess.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class Package;

// One App Paths entry: where it was listed, and the executable it names once resolved.
struct AppEntry {
    HKEY root = nullptr;
    REGSAM view = 0;
    std::wstring path;
    bool resolved = false;
};

// The system queries whose failures a test cannot bring about on a real machine.
struct MachineQueries {
    std::function<BOOL(LPCWSTR root, PULARGE_INTEGER availableToCaller)> diskFreeSpace;
    std::function<BOOL(LPMEMORYSTATUSEX status)> memoryStatus;

    static MachineQueries System();
};

// How often the checker went to the machine in this load (the benchmark prints them).
struct OfferCheckCounts {
    int subkeyEnumerations = 0;
    int processSnapshots = 0;
    int appIndexBuilds = 0;
    int appPathResolutions = 0;
    int diskQueries = 0;
    int memoryQueries = 0;
    int processorQueries = 0;
};

class OfferChecker {
public:
    explicit OfferChecker(int maxOffers);

    // True when the offer is accepted. A rejection sends its reason from the package.
    // stop is set only when the maximum has been reached (no event then). Throws
    // std::out_of_range for a registry root name that is not a long one and for a path
    // right below a software key with fewer than three components.
    bool Evaluate(std::shared_ptr<Package> package, bool& stop);

    // The reason the latest evaluation rejected its offer for; empty after any other outcome.
    const std::string& LastReason() const { return m_lastReason; }
    OfferCheckCounts Counts() const;
    void SetMachineQueriesForTesting(MachineQueries queries) { m_queries = std::move(queries); }

private:
    // Sends kind 2 with {"13": reason} from the package; always false.
    bool Reject(const std::shared_ptr<Package>& package, const std::string& reason);

    // Each returns the rejection reason, or an empty text when the offer passes.
    std::string CheckRegistry(const Package& package);
    std::string CheckDisk(const Package& package);
    std::string CheckMemory(const Package& package);
    std::string CheckProcessor(const Package& package);
    std::string CheckWindowsVersion(const Package& package);
    std::string CheckWizardVersion(const Package& package);
    std::string CheckFiles(const Package& package);
    std::string CheckProcesses(const Package& package);
    std::string CheckApplications(const Package& package);
    std::string CheckUninstalls(const Package& package);
    std::string CheckChrome(const Package& package);
    std::string CheckInternetExplorer(const Package& package);

    bool AnyKeyExists(const std::vector<std::wstring>& paths);
    bool BlockingValueExists(const std::vector<std::wstring>& entries);
    bool BlockingValueDataMatches(const std::vector<std::wstring>& entries);
    bool ValueDataMatches(HKEY key, const std::wstring& name, const std::wstring& data);
    void TakeProcessList();
    void BuildAppIndex();
    bool IsAppInstalled(const std::wstring& name);

    std::unordered_set<int> m_verticals;
    int m_accepted = 0;
    int m_maxOffers = 0;
    std::vector<CString> m_processes;
    bool m_processesKnown = false;
    uint64_t m_freeDiskMiB = 0;
    bool m_freeDiskKnown = false;
    uint64_t m_ramMiB = 0;
    bool m_ramKnown = false;
    DWORD m_cpuMHz = 0;
    bool m_cpuKnown = false;
    std::unordered_multimap<std::wstring, AppEntry> m_appIndex;
    SubkeyCache m_subkeyCache;

    MachineQueries m_queries;
    OfferCheckCounts m_counts;
    std::string m_lastReason;
};
