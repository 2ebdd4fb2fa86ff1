// Read-only registry tests and reads for the offer checks: does a key exist, does a
// value exist, of which type, and what it holds. Windows failures become
// win32::RegistryError, which these operations mostly catch themselves, so that a
// failure reads as an absent key or value.
#pragma once

#include "win32/RegistryError.h"
#include "win32/UniqueResource.h"

#include <map>
#include <string>
#include <vector>

// The subkey names of root\software, per root and view, kept for one configuration
// load so that many configured paths below the same key cost one enumeration, and the
// enumerated key itself, kept open so that each path costs one open.
struct SubkeyCache {
    // root -> view flag -> first-level key name ("software") -> lower-case subkey names.
    std::map<HKEY, std::map<REGSAM, std::map<std::wstring, std::vector<std::wstring>>>> entries;
    std::map<HKEY, std::map<REGSAM, std::map<std::wstring, win32::unique_hkey>>> openKeys;
    // How many enumerations filled it (the benchmark reports it).
    int enumerations = 0;
};

// Opens root\subKey read-only in the given view (KEY_READ is added). Throws
// RegistryError "Cannot open registry key: RegOpenKeyEx failed." on failure.
win32::unique_hkey OpenRegistryKey(HKEY root, const std::wstring& subKey, REGSAM view);

// Plain test: the key of a full path opens with KEY_READ. An unknown root name throws
// std::out_of_range.
bool KeyExists(const std::wstring& path);
// Cached test for a path below a default prefix: the component below software must be
// among the cached subkey names before the key is opened at all.
bool SoftwareKeyExists(SubkeyCache& cache, const std::wstring& path);
// SoftwareKeyExists for paths below a default prefix, KeyExists for all others.
bool RegistryKeyExists(SubkeyCache& cache, const std::wstring& path);

// The subkey names of an open key, lower-cased, in index order.
std::vector<std::wstring> EnumerateSubkeys(HKEY key);
// Enumerates root\first in the given view into the cache.
void CacheSubkeys(SubkeyCache& cache, HKEY root, REGSAM view, const std::wstring& first);

// Whether the open key has the named value; false on any failure.
bool ValueExists(HKEY key, const std::wstring& name);
// The value's type (REG_SZ, REG_DWORD, REG_QWORD, ...), 0 on failure.
DWORD ValueType(HKEY key, const std::wstring& name);
// A REG_SZ value of key\subKey (subKey may be null). Throws RegistryError.
std::wstring ReadString(HKEY key, const wchar_t* subKey, const std::wstring& name);
// A REG_DWORD or REG_QWORD value of the open key. Throws RegistryError.
DWORD ReadDword(HKEY key, const std::wstring& name);
ULONGLONG ReadQword(HKEY key, const std::wstring& name);

// Reads root\keyPath's value as text (a string, or a number in decimal); a key path
// that starts with "software" is also looked up below software\wow6432node. Values of
// other types are skipped. False when no candidate gave a value (result unchanged).
bool ReadValueText(SubkeyCache& cache, const std::wstring& root, const std::wstring& keyPath,
                   const std::wstring& valueName, std::wstring& result);
