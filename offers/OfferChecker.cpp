#include "offers/OfferChecker.h"

#include "config/ConfigurationManager.h"
#include "config/FileHelpers.h"
#include "config/SystemFacts.h"
#include "offers/Package.h"
#include "win32/TextConversion.h"

#include <shlwapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace {

CString FromThreadAnsi(const std::string& text)
{
    return CString(win32::ToWide(text, CP_THREAD_ACP));
}

int CountDots(const CString& text)
{
    return static_cast<int>(std::count(text.str().begin(), text.str().end(), L'.'));
}

bool AnyPathExists(const std::vector<CString>& paths)
{
    for (const CString& path : paths) {
        if (PathFileExistsW(path))
            return true;
    }
    return false;
}

// Registry data that should be a number but is not counts as a value that cannot be
// read: one odd value on a user's machine must not end the whole configuration load.
bool ToUnsigned64(const std::wstring& text, unsigned long long& value)
{
    try {
        value = std::stoull(text, nullptr, 10);
        return true;
    } catch (const std::logic_error&) {
        return false;
    }
}

bool ToFloat(const std::wstring& text, float& value)
{
    try {
        value = std::stof(text);
        return true;
    } catch (const std::logic_error&) {
        return false;
    }
}

uint64_t SecondsSince1970()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
}

} // namespace

MachineQueries MachineQueries::System()
{
    MachineQueries queries;
    queries.diskFreeSpace = [](LPCWSTR root, PULARGE_INTEGER available) {
        return GetDiskFreeSpaceExW(root, available, nullptr, nullptr);
    };
    queries.memoryStatus = [](LPMEMORYSTATUSEX status) { return GlobalMemoryStatusEx(status); };
    return queries;
}

OfferChecker::OfferChecker(int maxOffers) : m_maxOffers(maxOffers), m_queries(MachineQueries::System()) {}

OfferCheckCounts OfferChecker::Counts() const
{
    OfferCheckCounts counts = m_counts;
    counts.subkeyEnumerations = m_subkeyCache.enumerations;
    return counts;
}

bool OfferChecker::Evaluate(std::shared_ptr<Package> package, bool& stop)
{
    m_lastReason.clear();
    if (m_accepted >= m_maxOffers) {
        stop = true;
        return false;
    }
    const int vertical = package->m_vertical.load();
    if (m_verticals.count(vertical) != 0)
        return Reject(package, vertical == -1 ? "MULTIPLE OFFERS W/O VERTICAL" : "SAME VERTICAL OFFER ALREADY PRESENT");
    if (package->m_exclusive && m_accepted != 0)
        return Reject(package, "EXCLUSIVE, BUT ANOTHER OFFER ALREADY PRESENT");

    using Check = std::string (OfferChecker::*)(const Package&);
    static const Check checks[] = {
        &OfferChecker::CheckRegistry,        &OfferChecker::CheckDisk,         &OfferChecker::CheckMemory,
        &OfferChecker::CheckProcessor,       &OfferChecker::CheckWindowsVersion, &OfferChecker::CheckWizardVersion,
        &OfferChecker::CheckFiles,           &OfferChecker::CheckProcesses,    &OfferChecker::CheckApplications,
        &OfferChecker::CheckUninstalls,      &OfferChecker::CheckChrome,       &OfferChecker::CheckInternetExplorer,
    };
    for (Check check : checks) {
        std::string reason = (this->*check)(*package);
        if (!reason.empty())
            return Reject(package, reason);
    }

    ++m_accepted;
    m_verticals.insert(vertical);
    return true;
}

bool OfferChecker::Reject(const std::shared_ptr<Package>& package, const std::string& reason)
{
    m_lastReason = reason;
    package->SendEvent(2, nlohmann::json{{"13", reason}});
    return false;
}

std::string OfferChecker::CheckDisk(const Package& package)
{
    if (package.m_minDiskMiB == 0)
        return {};
    if (!m_freeDiskKnown) {
        // The drive of the default user's desktop stands for the system drive.
        const CString root = GetKnownFolder(FOLDERID_Desktop, true).Left(3);
        ULARGE_INTEGER available = {};
        ++m_counts.diskQueries;
        if (!m_queries.diskFreeSpace(root, &available))
            return "DISK SPACE CHECK FAILED " + std::to_string(GetLastError());
        m_freeDiskMiB = available.QuadPart >> 20;
        m_freeDiskKnown = true;
    }
    return m_freeDiskMiB < package.m_minDiskMiB ? "NOT ENOUGH DISK SPACE" : "";
}

std::string OfferChecker::CheckMemory(const Package& package)
{
    if (package.m_minRamMiB == 0)
        return {};
    if (!m_ramKnown) {
        MEMORYSTATUSEX status = {};
        status.dwLength = sizeof(status);
        ++m_counts.memoryQueries;
        if (!m_queries.memoryStatus(&status))
            return "RAM CHECK FAILED " + std::to_string(GetLastError());
        m_ramMiB = status.ullTotalPhys >> 20;
        m_ramKnown = true;
    }
    return m_ramMiB < package.m_minRamMiB ? "NOT ENOUGH RAM" : "";
}

std::string OfferChecker::CheckProcessor(const Package& package)
{
    if (package.m_minCpuMHz == 0)
        return {};
    if (!m_cpuKnown) {
        ++m_counts.processorQueries;
        win32::unique_hkey key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0,
                          KEY_READ | KEY_WOW64_64KEY, key.put()) != ERROR_SUCCESS)
            return "CPU CHECK FAILED: Couldn't open registry";
        DWORD mhz = 0;
        DWORD size = sizeof(mhz);
        if (RegQueryValueExA(key.get(), "~MHz", nullptr, nullptr, reinterpret_cast<BYTE*>(&mhz), &size) !=
            ERROR_SUCCESS)
            return "CPU CHECK FAILED: Couldn't read value";
        m_cpuMHz = mhz;
        m_cpuKnown = true;
    }
    return m_cpuMHz < package.m_minCpuMHz ? "NOT ENOUGH CPU" : "";
}

std::string OfferChecker::CheckWindowsVersion(const Package& package)
{
    if (package.m_minOsVersion <= 0)
        return {};
    bool supported = false;
    switch (package.m_minOsVersion) {
    case 61:
        supported = IsWindowsAtLeast(6, 1, 0);
        break;
    case 62:
        supported = IsWindowsAtLeast(6, 2, 0);
        break;
    case 63:
        supported = IsWindowsAtLeast(6, 3, 0);
        break;
    case 100:
        supported = IsWindowsAtLeast(10, 0, 0);
        break;
    default:
        break;
    }
    return supported ? "" : "UNSUPPORTED OS VERSION";
}

std::string OfferChecker::CheckWizardVersion(const Package& package)
{
    if (package.m_minProgramVersion.empty())
        return {};
    const std::vector<int> required = ParseVersion(FromThreadAnsi(package.m_minProgramVersion));
    const std::vector<int> own = ParseVersion(ConfigurationManager::GetInstance()->programVersion);
    for (size_t i = 0; i < std::max(required.size(), own.size()); ++i) {
        const int mine = i < own.size() ? own[i] : 0;
        const int needed = i < required.size() ? required[i] : 0;
        if (mine != needed)
            return mine < needed ? "UNSUPPORTED PLATFORM VERSION" : "";
    }
    return {};
}

std::string OfferChecker::CheckFiles(const Package& package)
{
    if (AnyPathExists(package.m_blockingFiles))
        return "FILE EXISTS";
    if (!package.m_requiredFiles.empty() && !AnyPathExists(package.m_requiredFiles))
        return "NONE OF THE FILES EXISTS";
    return {};
}

void OfferChecker::TakeProcessList()
{
    ++m_counts.processSnapshots;
    m_processes.clear();
    win32::unique_snapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        m_processes.push_back(ToLowerText(CString(entry.szExeFile)));
    // An empty list means the snapshot failed; the next offer takes it again.
    m_processesKnown = !m_processes.empty();
}

std::string OfferChecker::CheckProcesses(const Package& package)
{
    if (!m_processesKnown)
        TakeProcessList();
    for (const std::string& configuredName : package.m_blockingProcesses) {
        const CString configured = ToLowerText(FromThreadAnsi(configuredName));
        const int dots = CountDots(configured);
        for (const CString& process : m_processes) {
            // One extension comes off when the running name has more dots than the
            // configured one, so "chrome" and "chrome.exe" both match chrome.exe.
            CString name = process;
            if (CountDots(name) > dots)
                name = name.Left(name.ReverseFind(L'.'));
            if (name == configured)
                return "APPLICATION RUNNING";
        }
    }
    return {};
}

std::string OfferChecker::CheckUninstalls(const Package& package)
{
    for (const UninstallRule& rule : package.m_uninstallRules) {
        std::wstring text;
        if (!ReadValueText(m_subkeyCache, ToLowerText(rule.root).str(), ToLowerText(rule.key).str(),
                           ToLowerText(rule.valueName).str(), text))
            continue;
        unsigned long long stored = 0;
        if (!ToUnsigned64(text, stored))
            continue;
        const uint64_t seconds = rule.inMilliseconds ? stored / 1000 : stored;
        // The waiting time is a 32-bit signed number of seconds added to the stored time.
        const int32_t wait = static_cast<int32_t>(static_cast<int64_t>(rule.minDays) * 86400);
        if (SecondsSince1970() < seconds + static_cast<uint64_t>(static_cast<int64_t>(wait)))
            return "MIN DAYS UNINSTALL CHECKER";
    }
    return {};
}

std::string OfferChecker::CheckChrome(const Package& package)
{
    if (!package.m_needsChrome && !package.m_rejectsChrome)
        return {};
    const FolderPlaceholderTable table = ConfigurationManager::GetInstance()->GetFolderPlaceholders();
    std::vector<CString> candidates = {
        ExpandFolderPlaceholders(L"{commonpf}\\Chromium\\Application\\chrome.exe", table),
        ExpandFolderPlaceholders(L"{commonpf}\\Google\\Chrome\\Application\\chrome.exe", table),
        ExpandFolderPlaceholders(L"{localappdata}\\Chromium\\Application\\chrome.exe", table),
    };
    std::wstring text;
    if (ReadValueText(m_subkeyCache, L"hkey_local_machine",
                      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\chrome.exe", L"Path", text))
        candidates.emplace_back(text + L"\\chrome.exe");
    text.clear();
    if (ReadValueText(m_subkeyCache, L"hkey_current_user", L"SOFTWARE\\Google\\Chrome\\BLBeacon", L"Path", text))
        candidates.emplace_back(text);

    const bool present = AnyPathExists(candidates);
    if (package.m_needsChrome && !present)
        return "NO CHROME";
    if (package.m_rejectsChrome && present)
        return "HAVE CHROME";
    return {};
}

std::string OfferChecker::CheckInternetExplorer(const Package& package)
{
    if (!package.m_needsNewIe)
        return {};
    std::wstring text;
    float version = 0;
    if (ReadValueText(m_subkeyCache, L"hkey_local_machine", L"SOFTWARE\\Microsoft\\Internet Explorer", L"Version",
                      text) &&
        ToFloat(text, version) && version * 10.0f < 90.0f)
        return "OLD IE VERSION";
    return {};
}
