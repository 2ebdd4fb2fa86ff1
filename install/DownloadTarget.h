// Where a download goes: a file name that is safe to create, taken from an address or
// from a configured name, joined to a folder so that the result stays inside it; and
// the address of a configured download value.
#pragma once

#include "framework/CString.h"

// The name used when nothing usable remains of an address or a configured name.
extern const wchar_t* const kFallbackFileName;

// The last segment of the address's path, without query and fragment, decoded once,
// made safe with SafeFileName.
CString FileNameFromUrl(const CString& url);

// The name without anything Windows refuses or reads as a path or device: the part
// after the last slash or backslash, forbidden characters replaced by "_", trailing
// dots and blanks dropped; reserved device names, "." and ".." give the fallback name.
CString SafeFileName(const CString& name);

// True for names Windows reads as a device (CON, nul.exe, COM1.txt, ...).
bool IsReservedDeviceName(const CString& name);

// folder\name when name (already safe) lies directly in folder and the joined path
// fits in MAX_PATH; otherwise empty.
CString JoinInFolder(const CString& folder, const CString& name);

// A configured download value is an address when it looks like one; otherwise it is a
// path below the configuration's file base address.
CString DownloadUrlFor(const CString& value);
