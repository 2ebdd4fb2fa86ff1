#include "offers/RegistryAccess.h"

#include "config/FileHelpers.h"
#include "offers/RegistryPaths.h"

#include <algorithm>
#include <cwctype>

namespace {

const char* const kOpenFailed = "Cannot open registry key: RegOpenKeyEx failed.";

std::wstring Lower(std::wstring text)
{
    for (auto& ch : text)
        ch = static_cast<wchar_t>(towlower(ch));
    return text;
}

// True when the value is there, false when it is missing; other failures throw.
bool QueryValuePresence(HKEY key, const std::wstring& name)
{
    LSTATUS status = RegGetValueW(key, nullptr, name.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS)
        return true;
    if (status == ERROR_FILE_NOT_FOUND)
        return false;
    throw win32::RegistryError("Cannot get value info: RegGetValue failed.", status);
}

DWORD QueryValueType(HKEY key, const std::wstring& name)
{
    DWORD type = 0;
    LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, nullptr);
    if (status != ERROR_SUCCESS)
        throw win32::RegistryError("Cannot read DWORD from registry.", status);
    return type;
}

} // namespace

win32::unique_hkey OpenRegistryKey(HKEY root, const std::wstring& subKey, REGSAM view)
{
    win32::unique_hkey key;
    LSTATUS status = RegOpenKeyExW(root, subKey.c_str(), 0, view | KEY_READ, key.put());
    if (status != ERROR_SUCCESS)
        throw win32::RegistryError(kOpenFailed, status);
    return key;
}

bool KeyExists(const std::wstring& path)
{
    auto parts = SplitAtFirstBackslash(path);
    HKEY root = RegistryRootKey(parts.first);
    win32::unique_hkey key;
    return RegOpenKeyExW(root, parts.second.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

bool SoftwareKeyExists(SubkeyCache& cache, const std::wstring& path)
{
    std::wstring viewPath = path;
    REGSAM view = 0;
    SelectRegistryView(viewPath, view);

    std::vector<CString> pieces = SplitText(CString(path), L'\\');
    const std::wstring root = pieces.at(0).str();
    const std::wstring first = pieces.at(1).str();
    const size_t prefixLength = root.size() + 1 + first.size() + 1;
    HKEY rootKey = RegistryRootKey(root);

    if (cache.entries[rootKey][view][first].empty()) {
        try {
            CacheSubkeys(cache, rootKey, view, first);
        } catch (const win32::RegistryError&) {
            return false;
        }
    }
    const std::vector<std::wstring>& names = cache.entries[rootKey][view][first];

    const std::wstring rest = viewPath.size() > prefixLength ? viewPath.substr(prefixLength) : std::wstring();
    const std::wstring name = rest.substr(0, rest.find(L'\\'));
    // A name the enumeration did not list cannot be there: no need to open anything.
    if (std::find(names.begin(), names.end(), name) == names.end())
        return false;

    win32::unique_hkey& firstKey = cache.openKeys[rootKey][view][first];
    if (!firstKey && RegOpenKeyExW(rootKey, first.c_str(), 0, view | KEY_READ, firstKey.put()) != ERROR_SUCCESS)
        return false;
    win32::unique_hkey key;
    return RegOpenKeyExW(firstKey.get(), rest.c_str(), 0, view | KEY_READ, key.put()) == ERROR_SUCCESS;
}

bool RegistryKeyExists(SubkeyCache& cache, const std::wstring& path)
{
    if (StartsWithDefaultRegistryPrefix(path))
        return SoftwareKeyExists(cache, path);
    return KeyExists(path);
}

std::vector<std::wstring> EnumerateSubkeys(HKEY key)
{
    DWORD count = 0;
    DWORD longest = 0;
    LSTATUS status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS)
        throw win32::RegistryError("RegQueryInfoKey failed while preparing for subkey enumeration.", status);

    std::vector<std::wstring> names;
    names.reserve(count);
    std::vector<wchar_t> buffer(static_cast<size_t>(longest) + 1);
    for (DWORD index = 0; index < count; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        status = RegEnumKeyExW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS)
            throw win32::RegistryError("Cannot enumerate subkeys: RegEnumKeyEx failed.", status);
        names.push_back(Lower(std::wstring(buffer.data(), length)));
    }
    return names;
}

void CacheSubkeys(SubkeyCache& cache, HKEY root, REGSAM view, const std::wstring& first)
{
    win32::unique_hkey key = OpenRegistryKey(root, first, view);
    ++cache.enumerations;
    cache.entries[root][view][first] = EnumerateSubkeys(key.get());
    cache.openKeys[root][view][first] = std::move(key);
}

bool ValueExists(HKEY key, const std::wstring& name)
{
    try {
        return QueryValuePresence(key, name);
    } catch (const win32::RegistryError&) {
        return false;
    }
}

DWORD ValueType(HKEY key, const std::wstring& name)
{
    try {
        return QueryValueType(key, name);
    } catch (const win32::RegistryError&) {
        return 0;
    }
}

std::wstring ReadString(HKEY key, const wchar_t* subKey, const std::wstring& name)
{
    const char* const failed = "Cannot read string from registry";
    DWORD size = 0;
    LSTATUS status = RegGetValueW(key, subKey, name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size);
    if (status != ERROR_SUCCESS)
        throw win32::RegistryError(failed, status);
    std::vector<wchar_t> buffer(size / 2 + 1);
    status = RegGetValueW(key, subKey, name.c_str(), RRF_RT_REG_SZ, nullptr, buffer.data(), &size);
    if (status != ERROR_SUCCESS)
        throw win32::RegistryError(failed, status);
    // The size counts the terminating NUL.
    size_t length = size / 2 > 0 ? size / 2 - 1 : 0;
    return std::wstring(buffer.data(), length);
}

DWORD ReadDword(HKEY key, const std::wstring& name)
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    LSTATUS status = RegGetValueW(key, L"", name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size);
    if (status != ERROR_SUCCESS)
        throw win32::RegistryError("Cannot read DWORD from registry.", status);
    return value;
}

ULONGLONG ReadQword(HKEY key, const std::wstring& name)
{
    ULONGLONG value = 0;
    DWORD size = sizeof(value);
    LSTATUS status = RegGetValueW(key, L"", name.c_str(), RRF_RT_REG_QWORD, nullptr, &value, &size);
    if (status != ERROR_SUCCESS)
        throw win32::RegistryError("Cannot read QWORD from registry.", status);
    return value;
}

bool ReadValueText(SubkeyCache& cache, const std::wstring& root, const std::wstring& keyPath,
                   const std::wstring& valueName, std::wstring& result)
{
    std::vector<std::wstring> candidates = {root + L"\\" + keyPath};
    if (keyPath.compare(0, 8, L"software") == 0)
        candidates.push_back(root + L"\\software\\wow6432node" + keyPath.substr(8));

    for (std::wstring candidate : candidates) {
        if (!RegistryKeyExists(cache, candidate))
            continue;
        REGSAM view = 0;
        SelectRegistryView(candidate, view);
        auto parts = SplitAtFirstBackslash(candidate);
        try {
            win32::unique_hkey key = OpenRegistryKey(RegistryRootKey(parts.first), parts.second, view);
            if (!ValueExists(key.get(), valueName))
                continue;
            switch (ValueType(key.get(), valueName)) {
            case REG_SZ:
                result = ReadString(key.get(), nullptr, valueName);
                return true;
            case REG_DWORD:
                result = std::to_wstring(ReadDword(key.get(), valueName));
                return true;
            case REG_QWORD:
                result = std::to_wstring(ReadQword(key.get(), valueName));
                return true;
            default:
                break;
            }
        } catch (const win32::RegistryError&) {
        }
    }
    return false;
}
