#include "install/ProgramLauncher.h"

#include "win32/UniqueResource.h"

#include <shellapi.h>

#include <vector>

namespace {

CString LaunchErrorText(DWORD code)
{
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                      FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                  nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    win32::unique_hlocal owner(text);
    return length && text ? CString(text, static_cast<int>(length)) : CString();
}

} // namespace

std::pair<DWORD, CString> LaunchExecutable(const CString& path, const CString& arguments, bool wait)
{
    // The blank after the quoted path is there even without arguments.
    CString commandLine = L"\"" + path + L"\" " + arguments;
    std::vector<wchar_t> writable(commandLine.GetString(), commandLine.GetString() + commandLine.GetLength() + 1);

    DWORD exitCode = 0xFFFFFFFF;
    CString message;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION created = {};
    if (CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &created)) {
        win32::unique_handle process(created.hProcess);
        win32::unique_handle thread(created.hThread);
        if (wait) {
            WaitForSingleObject(process.get(), INFINITE);
            GetExitCodeProcess(process.get(), &exitCode);
        }
        if (exitCode != 0)
            message.Format(L"exit code = %u", exitCode);
    } else {
        DWORD error = GetLastError();
        message.Format(L"Error launching executable: %s", LaunchErrorText(error).GetString());
    }
    return {exitCode, message};
}

void OpenWithAssociatedProgram(const CString& path, const CString& parameters)
{
    ShellExecuteW(nullptr, L"open", path, parameters.IsEmpty() ? nullptr : parameters.GetString(), nullptr,
                  SW_SHOWDEFAULT);
}

void ShowFileInExplorer(const CString& path)
{
    CString parameters = L"/select,\"" + path + L"\"";
    ShellExecuteW(nullptr, L"open", L"explorer.exe", parameters, nullptr, SW_SHOWDEFAULT);
}
