// What runs for a downloaded file: the file itself, or the first program of a zip
// archive unpacked into a folder of its own.
#pragma once

#include "framework/CString.h"

// The kinds of archive recognised by their first bytes.
enum ArchiveKind : int {
    ArchiveNone = 0,
    ArchiveZip = 1,
    ArchiveSevenZip = 2,
};

int DetectArchive(const CString& path);

// The program to run for a downloaded file of the given kind: for a zip archive the
// first top-level program unpacked from it; in every other case, and whenever
// unpacking does not give a program, the file itself.
CString PrepareInstaller(const CString& path, int kind, const CString& parentFolder);

// parentFolder followed by the archive's name without extension, created when
// missing; parentFolder itself when that folder cannot be made.
CString MakeExtractionFolder(const CString& archivePath, const CString& parentFolder);

// The name (without folder) of the first *.exe file directly in folder; empty when none.
CString FindFirstExecutable(const CString& folder);
