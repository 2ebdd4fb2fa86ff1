// Starting programs: installers (optionally waiting for their exit code) and the
// finish page's shell actions.
#pragma once

#include "framework/CString.h"

#include <utility>

// Runs "path" followed by a blank and the arguments. (exit code, message): the exit
// code is 0xFFFFFFFF when none was read; the message is empty for exit code 0.
std::pair<DWORD, CString> LaunchExecutable(const CString& path, const CString& arguments, bool wait);

// Opens the file with its associated program; parameters may be empty.
void OpenWithAssociatedProgram(const CString& path, const CString& parameters);
// Opens a new Explorer window with the file selected.
void ShowFileInExplorer(const CString& path);
