// The offer checks that read the registry: configured keys and values, and the
// applications registered under App Paths.
#include "offers/OfferChecker.h"

#include "config/FileHelpers.h"
#include "offers/Package.h"
#include "offers/RegistryPaths.h"

#include <shlwapi.h>

#include <stdexcept>

namespace {

const wchar_t* const kAppPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

std::wstring Lower(const std::wstring& text)
{
    return ToLowerText(CString(text)).str();
}

// Opens the key of a full path in the view its path selects; an empty owner when it cannot.
win32::unique_hkey OpenInItsView(std::wstring path)
{
    REGSAM view = 0;
    SelectRegistryView(path, view);
    auto parts = SplitAtFirstBackslash(path);
    win32::unique_hkey key;
    RegOpenKeyExW(RegistryRootKey(parts.first), parts.second.c_str(), 0, view | KEY_READ, key.put());
    return key;
}

// The configured data text as a number; text that is not one never matches.
bool DataNumber(const std::wstring& data, bool wide, unsigned long long& number)
{
    try {
        number = wide ? std::stoull(data, nullptr, 10) : std::stoul(data, nullptr, 10);
        return true;
    } catch (const std::logic_error&) {
        return false;
    }
}

} // namespace

std::string OfferChecker::CheckRegistry(const Package& package)
{
    if (!package.m_blockingKeys.empty() && AnyKeyExists(package.m_blockingKeys))
        return "REGISTRY KEY EXISTS";
    if (!package.m_requiredKeys.empty() && !AnyKeyExists(package.m_requiredKeys))
        return "NONE OF THE REGISTRY KEYS EXISTS";
    if (BlockingValueExists(package.m_blockingValues))
        return "REGISTRY VALUE EXISTS";
    if (BlockingValueDataMatches(package.m_blockingValueData))
        return "REGISTRY VALUE DATA MATCHES";
    return {};
}

bool OfferChecker::AnyKeyExists(const std::vector<std::wstring>& paths)
{
    for (const std::wstring& path : paths) {
        const std::vector<std::wstring> candidates = ExpandRegistryPath(Lower(path));
        // An empty entry answers for the whole list.
        if (candidates.empty())
            return false;
        for (const std::wstring& candidate : candidates) {
            if (RegistryKeyExists(m_subkeyCache, candidate))
                return true;
        }
    }
    return false;
}

bool OfferChecker::BlockingValueExists(const std::vector<std::wstring>& entries)
{
    for (const std::wstring& entry : entries) {
        const std::vector<std::wstring> candidates = ExpandRegistryPath(Lower(entry));
        if (candidates.empty())
            return false;
        for (const std::wstring& candidate : candidates) {
            const auto keyAndName = SplitAtLastBackslash(candidate);
            if (!RegistryKeyExists(m_subkeyCache, keyAndName.first))
                continue;
            win32::unique_hkey key = OpenInItsView(keyAndName.first);
            if (key && RegGetValueW(key.get(), nullptr, keyAndName.second.c_str(), RRF_RT_ANY, nullptr, nullptr,
                                    nullptr) == ERROR_SUCCESS)
                return true;
        }
    }
    return false;
}

bool OfferChecker::BlockingValueDataMatches(const std::vector<std::wstring>& entries)
{
    for (const std::wstring& entry : entries) {
        for (const std::wstring& candidate : ExpandRegistryPath(Lower(entry))) {
            const auto rest = SplitAtLastBackslash(candidate);
            const auto keyAndName = SplitAtLastBackslash(rest.first);
            if (!RegistryKeyExists(m_subkeyCache, keyAndName.first))
                continue;
            win32::unique_hkey key = OpenInItsView(keyAndName.first);
            if (key && ValueDataMatches(key.get(), keyAndName.second, rest.second))
                return true;
        }
    }
    return false;
}

bool OfferChecker::ValueDataMatches(HKEY key, const std::wstring& name, const std::wstring& data)
{
    if (!ValueExists(key, name))
        return false;
    try {
        unsigned long long number = 0;
        switch (ValueType(key, name)) {
        case REG_SZ:
            return Lower(ReadString(key, nullptr, name)) == data;
        case REG_DWORD:
            return DataNumber(data, false, number) && ReadDword(key, name) == number;
        case REG_QWORD:
            return DataNumber(data, true, number) && ReadQword(key, name) == number;
        default:
            return false;
        }
    } catch (const win32::RegistryError&) {
        return false;
    }
}

void OfferChecker::BuildAppIndex()
{
    ++m_counts.appIndexBuilds;
    // The 32-bit view first, then the 64-bit one: this program is 64-bit, so both are
    // named explicitly.
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (REGSAM view : {static_cast<REGSAM>(KEY_WOW64_32KEY), static_cast<REGSAM>(KEY_WOW64_64KEY)}) {
            try {
                win32::unique_hkey key = OpenRegistryKey(root, kAppPaths, view);
                for (std::wstring& name : EnumerateSubkeys(key.get()))
                    m_appIndex.emplace(std::move(name), AppEntry{root, view, std::wstring(), false});
            } catch (const win32::RegistryError&) {
            }
        }
    }
}

bool OfferChecker::IsAppInstalled(const std::wstring& name)
{
    if (m_appIndex.empty())
        BuildAppIndex();
    auto range = m_appIndex.equal_range(name);
    for (auto it = range.first; it != range.second; ++it) {
        AppEntry& entry = it->second;
        if (!entry.resolved) {
            ++m_counts.appPathResolutions;
            try {
                win32::unique_hkey key = OpenRegistryKey(entry.root, kAppPaths + name, entry.view);
                entry.path = ReadString(key.get(), nullptr, L"");
            } catch (const win32::RegistryError&) {
                entry.path.clear();
            }
            entry.resolved = true;
        }
        if (!entry.path.empty() && PathFileExistsW(entry.path.c_str()))
            return true;
    }
    return false;
}

std::string OfferChecker::CheckApplications(const Package& package)
{
    for (const std::wstring& name : package.m_requiredApps) {
        if (!IsAppInstalled(name))
            return "REGISTRY INCLUDE APP NOT FOUND";
    }
    for (const std::wstring& name : package.m_blockingApps) {
        if (IsAppInstalled(name))
            return "REGISTRY EXCLUDE APP FOUND";
    }
    return {};
}
