// Unpacking zip archives into a folder.
#pragma once

#include "framework/CString.h"

#include <cstdint>

// Unpacking stops once this much output has been written.
constexpr uint64_t kMaxZipOutput = 4ull << 30;
// An archive of more entries than this is not unpacked at all: each entry is a file to
// create, and a small archive can list millions of empty ones. An installer's bundle
// comes nowhere near it (it is the count a zip holds without its 64-bit extension).
constexpr uint64_t kMaxZipEntries = 65535;

// Unpacks zipPath into folder. Entries that would land outside the folder (absolute
// paths, drive letters, "..") and link entries are skipped. False when the archive
// cannot be read, holds no entries or more than entryLimit (or the count 0xFFFF, which
// does not bound the entries), is damaged, or its output would pass outputLimit.
bool ExtractZip(const CString& zipPath, const CString& folder, uint64_t outputLimit = kMaxZipOutput,
                uint64_t entryLimit = kMaxZipEntries);
