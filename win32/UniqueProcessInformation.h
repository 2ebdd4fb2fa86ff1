// Owner of what CreateProcessW hands back: the process and thread handles, closed
// together when the owner goes.
#pragma once

#include <windows.h>

namespace win32 {

class unique_process_information {
public:
    unique_process_information() = default;
    ~unique_process_information() { reset(); }
    unique_process_information(const unique_process_information&) = delete;
    unique_process_information& operator=(const unique_process_information&) = delete;

    // For CreateProcessW: closes what is held and hands out the empty structure.
    PROCESS_INFORMATION* put() noexcept
    {
        reset();
        return &m_info;
    }
    HANDLE process() const noexcept { return m_info.hProcess; }
    HANDLE thread() const noexcept { return m_info.hThread; }
    DWORD processId() const noexcept { return m_info.dwProcessId; }

    // Hands the process handle to the caller and closes the thread handle.
    HANDLE release_process() noexcept
    {
        HANDLE process = m_info.hProcess;
        m_info.hProcess = nullptr;
        reset();
        return process;
    }

    void reset() noexcept
    {
        if (m_info.hThread)
            ::CloseHandle(m_info.hThread);
        if (m_info.hProcess)
            ::CloseHandle(m_info.hProcess);
        m_info = PROCESS_INFORMATION();
    }

private:
    PROCESS_INFORMATION m_info = {};
};

} // namespace win32
