// Facts about the machine and about this program: Windows version, our file
// version, the machine identifier, and whether a text looks like a web address.
#pragma once

#include "framework/CString.h"

#include <string>

std::string GetOsVersionText();
bool IsWindowsAtLeast(DWORD major, DWORD minor, WORD servicePackMajor);
std::string GetProgramFileVersion();
std::string ReadMachineGuid();
bool IsUrl(const CString& text);

// The version comparison behind IsWindowsAtLeast. Tests replace it to act as a
// system they cannot run on (Windows 7 without a service pack); nullptr restores it.
using VersionCheck = bool (*)(DWORD major, DWORD minor, WORD servicePackMajor);
void SetVersionCheckForTesting(VersionCheck check);
