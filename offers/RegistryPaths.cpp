#include "offers/RegistryPaths.h"

#include "config/FileHelpers.h"

#include <stdexcept>
#include <unordered_map>

namespace {

bool StartsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

const std::unordered_map<std::wstring, HKEY>& RootKeys()
{
    static const std::unordered_map<std::wstring, HKEY> keys = {
        {L"hkey_local_machine", HKEY_LOCAL_MACHINE}, {L"hkey_current_user", HKEY_CURRENT_USER},
        {L"hkey_classes_root", HKEY_CLASSES_ROOT},   {L"hkey_users", HKEY_USERS},
        {L"hkey_current_config", HKEY_CURRENT_CONFIG},
    };
    return keys;
}

} // namespace

const std::vector<std::wstring>& RegistryRootNames()
{
    static const std::vector<std::wstring> names = {L"hkey_local_machine", L"hkey_current_user",
                                                    L"hkey_classes_root", L"hkey_users", L"hkey_current_config"};
    return names;
}

const std::map<std::wstring, std::wstring>& RegistryShortRootNames()
{
    static const std::map<std::wstring, std::wstring> names = {
        {L"hklm", L"hkey_local_machine"}, {L"hkcu", L"hkey_current_user"}, {L"hkcr", L"hkey_classes_root"},
        {L"hku", L"hkey_users"},          {L"hkcc", L"hkey_current_config"},
    };
    return names;
}

HKEY RegistryRootKey(const std::wstring& longName)
{
    const auto& keys = RootKeys();
    auto found = keys.find(longName);
    if (found == keys.end())
        throw std::out_of_range("invalid unordered_map<K, T> key");
    return found->second;
}

const std::vector<std::wstring>& DefaultRegistryPrefixes()
{
    static const std::vector<std::wstring> prefixes = {L"hkey_local_machine\\software\\",
                                                       L"hkey_current_user\\software\\"};
    return prefixes;
}

const std::vector<std::wstring>& Wow64RegistryPrefixes()
{
    static const std::vector<std::wstring> prefixes = {L"hkey_local_machine\\software\\wow6432node\\",
                                                       L"hkey_current_user\\software\\wow6432node\\"};
    return prefixes;
}

std::vector<std::wstring> ExpandRegistryPath(const std::wstring& path)
{
    if (path.empty())
        return {};
    if (StartsWith(path, L"hk")) {
        if (path.compare(2, 2, L"ey") == 0) {
            for (const auto& name : RegistryRootNames()) {
                if (StartsWith(path, name + L"\\"))
                    return {path};
            }
        }
        for (const auto& entry : RegistryShortRootNames()) {
            if (StartsWith(path, entry.first + L"\\"))
                return {entry.second + path.substr(entry.first.size())};
        }
    }
    std::vector<std::wstring> candidates;
    for (const auto& prefix : DefaultRegistryPrefixes())
        candidates.push_back(prefix + path);
    for (const auto& prefix : Wow64RegistryPrefixes())
        candidates.push_back(prefix + path);
    return candidates;
}

bool StartsWithDefaultRegistryPrefix(const std::wstring& path)
{
    for (const auto& prefix : DefaultRegistryPrefixes()) {
        if (StartsWith(path, prefix))
            return true;
    }
    return false;
}

void SelectRegistryView(std::wstring& path, REGSAM& view)
{
    if (!StartsWithDefaultRegistryPrefix(path))
        return;
    std::vector<CString> pieces = SplitText(CString(path), L'\\');
    if (pieces.size() < 3)
        throw std::out_of_range("invalid vector subscript");
    if (ToLowerText(pieces[2]) == L"wow6432node") {
        size_t at = path.find(L"wow6432node\\");
        if (at != std::wstring::npos)
            path.erase(at, 12);
        // This program is 64-bit: with no view flag it would read the 64-bit keys again,
        // so the 32-bit keys are asked for by their view.
        view |= KEY_WOW64_32KEY;
    } else {
        view |= KEY_WOW64_64KEY;
    }
}

std::pair<std::wstring, std::wstring> SplitAtFirstBackslash(const std::wstring& path)
{
    size_t at = path.find(L'\\');
    if (at == std::wstring::npos)
        return {path, path};
    return {path.substr(0, at), path.substr(at + 1)};
}

std::pair<std::wstring, std::wstring> SplitAtLastBackslash(const std::wstring& path)
{
    size_t at = path.rfind(L'\\');
    if (at == std::wstring::npos)
        return {path, path};
    return {path.substr(0, at), path.substr(at + 1)};
}
