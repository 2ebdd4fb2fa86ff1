// A library that only tells that it was loaded. The planting test copies it beside the
// wizard under the names of system libraries; when a process loads one of the copies,
// it leaves "<name>.loaded" in the folder named by ORVANE_MARKER_DIR.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t folder[MAX_PATH] = {};
    wchar_t module[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(L"ORVANE_MARKER_DIR", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || GetModuleFileNameW(instance, module, MAX_PATH) == 0)
        return TRUE;
    const wchar_t* name = module;
    for (const wchar_t* at = module; *at; ++at)
        if (*at == L'\\' || *at == L'/')
            name = at + 1;
    // Only kernel32 here: the library must not load others of the planted names itself.
    wchar_t marker[2 * MAX_PATH + 16] = {};
    lstrcpyW(marker, folder);
    lstrcatW(marker, L"\\");
    lstrcatW(marker, name);
    lstrcatW(marker, L".loaded");
    HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    // Refusing to load keeps the process working with the real library where the loader
    // falls back, and the marker still tells.
    return TRUE;
}
