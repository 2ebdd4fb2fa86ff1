// Shared helpers of the install tests: the stand-in installer built with the tests,
// and listings of folders.
#pragma once

#include "framework/CString.h"

#include <set>
#include <string>

namespace testing_support {

// The stand-in installer (tests/programs), built next to this test program.
CString FakeInstallerPath();
// Copies the stand-in installer to path.
bool CopyFakeInstaller(const CString& path);
// What the stand-in wrote for the program at exePath: its command line, or empty.
std::string ReadMarker(const CString& exePath);

// Every file and folder below root, as relative paths with '\' ("a", "a\b.txt").
std::set<std::wstring> ListTree(const CString& root);

bool FileExists(const CString& path);
// Waits (up to 20 s) for a file that a transfer left behind after a cancel removes.
bool FileGoesAway(const CString& path);

} // namespace testing_support
