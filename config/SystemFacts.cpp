#include "config/SystemFacts.h"

#include "win32/UniqueResource.h"

#include <winternl.h>
#include <cstring>
#include <vector>

namespace {

using RtlGetVersionFn = LONG(WINAPI*)(PRTL_OSVERSIONINFOW);

VersionCheck g_versionCheck = nullptr;

bool VerifySystemVersion(DWORD major, DWORD minor, WORD servicePackMajor)
{
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    info.wServicePackMajor = servicePackMajor;
    DWORDLONG mask = 0;
    mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask) != FALSE;
}

} // namespace

void SetVersionCheckForTesting(VersionCheck check)
{
    g_versionCheck = check;
}

std::string GetOsVersionText()
{
    // RtlGetVersion reports the true version, whatever compatibility mode we run in.
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (!rtlGetVersion)
        return std::string();
    RTL_OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (rtlGetVersion(reinterpret_cast<PRTL_OSVERSIONINFOW>(&info)) != 0)
        return std::string();
    return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + "." +
           std::to_string(info.dwBuildNumber);
}

bool IsWindowsAtLeast(DWORD major, DWORD minor, WORD servicePackMajor)
{
    if (g_versionCheck)
        return g_versionCheck(major, minor, servicePackMajor);
    return VerifySystemVersion(major, minor, servicePackMajor);
}

std::string GetProgramFileVersion()
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16) /* RT_VERSION */);
    if (!info)
        return std::string();
    DWORD size = SizeofResource(module, info);
    HGLOBAL loaded = LoadResource(module, info);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0)
        return std::string();

    // VerQueryValueW wants a writable copy of the block.
    win32::unique_hlocal copy(LocalAlloc(LMEM_FIXED, size));
    if (!copy)
        return std::string();
    memcpy(copy.get(), data, size);

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueW(copy.get(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || !fixed || fixedSize == 0)
        return std::string();
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
           "." + std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionLS));
}

std::string ReadMachineGuid()
{
    win32::unique_hkey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Cryptography", 0, KEY_READ | KEY_WOW64_64KEY,
                      key.put()) != ERROR_SUCCESS)
        return std::string();
    char buffer[255] = {};
    DWORD size = sizeof(buffer);
    if (RegQueryValueExA(key.get(), "MachineGuid", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS)
        return std::string();
    if (size >= sizeof(buffer))
        size = sizeof(buffer) - 1;
    buffer[size] = '\0';
    return std::string(buffer);
}

// Matches the whole text, read in the thread's ANSI code page (ToAnsi), against
//   ^((http|https):\/\/)?([\w.-]+)(\.[\w.-]+)+([\/?#].*)?$
// by hand: std::regex recurses once per character and can exhaust the stack on a
// long address from the server.
bool IsUrl(const CString& text)
{
    const std::string narrow = ToAnsi(text);
    size_t pos = 0;
    if (narrow.compare(0, 7, "http://") == 0)
        pos = 7;
    else if (narrow.compare(0, 8, "https://") == 0)
        pos = 8;

    auto isHostChar = [](unsigned char ch) { return (ch < 0x80 && isalnum(ch)) || ch == '_' || ch == '.' || ch == '-'; };
    const size_t hostStart = pos;
    while (pos < narrow.size() && isHostChar(static_cast<unsigned char>(narrow[pos])))
        ++pos;
    const size_t hostLength = pos - hostStart;
    // The host needs a dot with at least one host character on each side.
    bool dotted = false;
    for (size_t i = hostStart + 1; hostLength >= 3 && i + 1 < pos; ++i)
        dotted = dotted || narrow[i] == '.';
    if (!dotted)
        return false;
    if (pos == narrow.size())
        return true;
    if (narrow[pos] != '/' && narrow[pos] != '?' && narrow[pos] != '#')
        return false;
    // "." of the pattern matches anything but a line break.
    return narrow.find_first_of("\r\n", pos) == std::string::npos;
}
