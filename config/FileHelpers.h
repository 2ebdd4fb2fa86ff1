// Folder placeholders ({commonpf}, {localappdata}, ...) and the small file-system
// and text helpers that the offer checks and the configuration share.
#pragma once

#include "framework/CString.h"

#include <shlobj.h>
#include <string>
#include <unordered_map>
#include <vector>

using FolderPlaceholderTable = std::unordered_map<std::wstring, std::wstring>;

// The table of folder placeholders, read from the system (names without braces).
FolderPlaceholderTable BuildFolderPlaceholders();

// Replaces every {name} of the table in the text. {commonpf} is expanded first (to
// {commonpf64}) and {commonpf64} last, whatever order the table iterates in.
CString ExpandFolderPlaceholders(const CString& text, const FolderPlaceholderTable& table);

// A new, empty folder in the user's temporary folder ("ISV" followed by a unique
// number), or an empty text when none could be made.
CString CreateFreshTempFolder();

// The path of a known folder, for the current user or for the default user; empty on failure.
CString GetKnownFolder(REFKNOWNFOLDERID id, bool defaultUser);

std::vector<CString> SplitText(const CString& text, wchar_t separator);
CString ToLowerText(const CString& text);
std::vector<int> ParseVersion(const CString& text);
