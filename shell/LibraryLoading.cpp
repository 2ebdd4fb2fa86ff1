#include "shell/LibraryLoading.h"

#include <windows.h>
#include <delayimp.h>

namespace {

// Libraries that some system libraries load only on first use, and then by a search
// that starts in the program's folder whatever the process asked for (Wine's GDI+,
// controls and TLS layers do this). Each is loaded from System32 just before the
// library that needs it is bound, so that every later search finds it loaded already.
struct LateBound {
    const char* library;            // as the wizard's imports name it
    const wchar_t* const* needs;    // loaded from System32 first; null-terminated
};

const wchar_t* const ForPictures[] = {L"windowscodecs.dll", L"propsys.dll", nullptr};
const wchar_t* const ForTls[] = {L"crypt32.dll", L"secur32.dll", nullptr};
const LateBound LateBoundLibraries[] = {
    {"gdiplus.dll", ForPictures},
    {"winhttp.dll", ForTls},
    {"wininet.dll", ForTls},
};

// Painting helpers: loaded late by the controls, and cheap, so loaded at start.
const wchar_t* const AtStart[] = {L"msimg32.dll"};

void LoadFromSystem(const wchar_t* const* names)
{
    for (; *names; ++names)
        LoadLibraryExW(*names, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// Called by the delay-load helper on every first call into a delay-loaded library.
FARPROC WINAPI BeforeBinding(unsigned notification, PDelayLoadInfo info)
{
    if (notification != dliNotePreLoadLibrary || !info || !info->szDll)
        return nullptr;
    for (const LateBound& entry : LateBoundLibraries)
        if (lstrcmpiA(info->szDll, entry.library) == 0)
            LoadFromSystem(entry.needs);
    // The library itself is loaded from System32 as well, whatever the process's
    // defaults are by then.
    return reinterpret_cast<FARPROC>(LoadLibraryExA(info->szDll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

} // namespace

void RestrictLibraryLoading()
{
    // The wizard runs elevated from the folder it was downloaded to, where anybody may
    // have left a library under a system name.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    for (const wchar_t* name : AtStart)
        LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    __pfnDliNotifyHook2 = &BeforeBinding;
}
