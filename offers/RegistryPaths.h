// Textual registry paths as the configuration names them: root names, the candidate
// paths one configured path stands for, and the choice between the 64-bit and the
// 32-bit view. Paths are lower-case (callers lower-case what the server sent) and
// compared case-sensitively.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

// The long root names in their fixed order: hkey_local_machine, hkey_current_user,
// hkey_classes_root, hkey_users, hkey_current_config.
const std::vector<std::wstring>& RegistryRootNames();
// Short root name (hkcc, hkcr, hkcu, hklm, hku) to long name, iterated in key order.
const std::map<std::wstring, std::wstring>& RegistryShortRootNames();
// The predefined key of a long root name. Any other name throws std::out_of_range.
HKEY RegistryRootKey(const std::wstring& longName);

// "hkey_local_machine\software\", "hkey_current_user\software\".
const std::vector<std::wstring>& DefaultRegistryPrefixes();
// The same two below "wow6432node\".
const std::vector<std::wstring>& Wow64RegistryPrefixes();

// The full paths one configured path may mean: itself when it starts with a long root
// name, the long form when it starts with a short one, otherwise the path below each
// default prefix and then below each 32-bit prefix. An empty path means nothing.
std::vector<std::wstring> ExpandRegistryPath(const std::wstring& path);

// For a path below a default prefix, chooses the view it is opened in: a wow6432node
// component right below software is taken out of the path and the 32-bit view is
// added to view; any other such path gets the 64-bit view. Other paths are left alone.
// A path below a default prefix with fewer than three components throws std::out_of_range.
void SelectRegistryView(std::wstring& path, REGSAM& view);

bool StartsWithDefaultRegistryPrefix(const std::wstring& path);

// Splits at the first or at the last backslash; without one, both parts are the whole path.
std::pair<std::wstring, std::wstring> SplitAtFirstBackslash(const std::wstring& path);
std::pair<std::wstring, std::wstring> SplitAtLastBackslash(const std::wstring& path);
