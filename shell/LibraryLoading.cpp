#include "shell/LibraryLoading.h"

#include <windows.h>

namespace {

// Libraries that the system libraries the wizard uses load only on first use, and
// then by a search that starts in the program's folder whatever the process asked for
// (Wine's GDI+, controls and TLS layers do this): picture decoding, the property
// system, painting helpers, certificates and the secure channel. Loaded from System32
// now, every later search finds them loaded already.
const wchar_t* const LateBoundLibraries[] = {
    L"windowscodecs.dll", L"propsys.dll", L"msimg32.dll", L"crypt32.dll", L"secur32.dll",
};

} // namespace

void RestrictLibraryLoading()
{
    // The wizard runs elevated from the folder it was downloaded to, where anybody may
    // have left a library under a system name.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    for (const wchar_t* name : LateBoundLibraries)
        LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}
