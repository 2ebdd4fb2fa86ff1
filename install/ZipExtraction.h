// Unpacking zip archives into a folder.
#pragma once

#include "framework/CString.h"

#include <cstdint>

// Unpacking stops once this much output has been written.
constexpr uint64_t kMaxZipOutput = 4ull << 30;

// Unpacks zipPath into folder. Entries that would land outside the folder (absolute
// paths, drive letters, "..") and link entries are skipped. False when the archive
// cannot be read, holds no entries, is damaged, or its output would pass outputLimit.
bool ExtractZip(const CString& zipPath, const CString& folder, uint64_t outputLimit = kMaxZipOutput);
