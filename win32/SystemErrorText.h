// The system's message text for an error code: the one place where the program asks
// FormatMessageW for it.
#pragma once

#include <windows.h>

#include <string>

namespace win32 {

// The text as the system gives it, trailing line break included; empty for a code the
// system has no text for. Inserts in the text are left as they are.
std::wstring SystemErrorText(DWORD code);

} // namespace win32
