#include "install/ProgramLauncher.h"

#include "win32/SystemErrorText.h"
#include "win32/UniqueProcessInformation.h"

#include <shellapi.h>

#include <vector>

std::pair<DWORD, CString> LaunchExecutable(const CString& path, const CString& arguments, bool wait)
{
    // The blank after the quoted path is there even without arguments.
    CString commandLine = L"\"" + path + L"\" " + arguments;
    std::vector<wchar_t> writable(commandLine.GetString(), commandLine.GetString() + commandLine.GetLength() + 1);

    DWORD exitCode = 0xFFFFFFFF;
    CString message;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    win32::unique_process_information created;
    if (CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       created.put())) {
        if (wait) {
            WaitForSingleObject(created.process(), INFINITE);
            GetExitCodeProcess(created.process(), &exitCode);
        }
        if (exitCode != 0)
            message.Format(L"exit code = %u", exitCode);
    } else {
        const DWORD error = GetLastError();
        message.Format(L"Error launching executable: %s", win32::SystemErrorText(error).c_str());
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
