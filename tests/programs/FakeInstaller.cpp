// Stands in for an installer in the launch tests. It writes its own command line
// (UTF-8) to a marker file named like the program with ".marker" in place of ".exe":
// next to itself, or in the folder ORVANE_MARKER_DIR names (the wizard removes its
// working folder at the end, and its installers inherit the test's environment). It
// exits with the code of an "exit=N" argument, else of ORVANE_FAKE_EXIT_CODE, else 0.
// "sleep=MS", or else ORVANE_FAKE_SLEEP_MS, makes it wait that long before it writes the
// marker; it then says it runs by writing an empty ".started" file first.
#include "win32/UniqueResource.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    unsigned exitCode = 0;
    wchar_t value[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"ORVANE_FAKE_EXIT_CODE", value, MAX_PATH) > 0)
        exitCode = static_cast<unsigned>(wcstoul(value, nullptr, 10));
    DWORD sleepMs = 0;
    if (GetEnvironmentVariableW(L"ORVANE_FAKE_SLEEP_MS", value, MAX_PATH) > 0)
        sleepMs = static_cast<DWORD>(wcstoul(value, nullptr, 10));
    for (int i = 1; i < argc; ++i) {
        if (wcsncmp(argv[i], L"exit=", 5) == 0)
            exitCode = static_cast<unsigned>(wcstoul(argv[i] + 5, nullptr, 10));
        else if (wcsncmp(argv[i], L"sleep=", 6) == 0)
            sleepMs = static_cast<DWORD>(wcstoul(argv[i] + 6, nullptr, 10));
    }

    wchar_t self[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring marker(self, length);
    DWORD folderLength = GetEnvironmentVariableW(L"ORVANE_MARKER_DIR", value, MAX_PATH);
    if (folderLength > 0 && folderLength < MAX_PATH)
        marker = std::wstring(value) + L"\\" + marker.substr(marker.find_last_of(L"\\/") + 1);
    size_t dot = marker.rfind(L'.');
    if (dot != std::wstring::npos)
        marker.resize(dot);
    if (sleepMs > 0) {
        win32::unique_hfile started(CreateFileW((marker + L".started").c_str(), GENERIC_WRITE, 0, nullptr,
                                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        started.reset();
        Sleep(sleepMs);
    }
    marker += L".marker";

    const wchar_t* commandLine = GetCommandLineW();
    int size = WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, nullptr, 0, nullptr, nullptr);
    std::string text(size > 0 ? static_cast<size_t>(size - 1) : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, &text[0], size, nullptr, nullptr);

    win32::unique_hfile file(
        CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        DWORD written = 0;
        WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    return static_cast<int>(exitCode);
}
