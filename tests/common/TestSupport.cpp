#include "tests/common/TestSupport.h"

#include <shlwapi.h>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace testing_support {

RegistrySandbox::RegistrySandbox(HKEY root) : m_root(root)
{
    static std::atomic<int> counter{0};
    m_path = L"Software\\OrvaneTests\\Sandbox" + std::to_wstring(GetCurrentProcessId()) + L"_" +
             std::to_wstring(counter++);
    RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, m_sandbox.put(),
                    nullptr);
    RegOverridePredefKey(m_root, m_sandbox.get());
}

RegistrySandbox::~RegistrySandbox()
{
    RegOverridePredefKey(m_root, nullptr);
    m_sandbox.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
}

void RegistrySandbox::SetString(const wchar_t* subKey, const wchar_t* name, const wchar_t* value)
{
    win32::unique_hkey key;
    RegCreateKeyExW(m_sandbox.get(), subKey, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, key.put(),
                    nullptr);
    RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
}

namespace {

std::atomic<unsigned> g_reportedSeed{0};
std::atomic<int> g_reportedCase{-1};

LONG WINAPI ReportRandomCase(EXCEPTION_POINTERS*)
{
    fprintf(stderr, "crashed in seed %u, case %d\n", g_reportedSeed.load(), g_reportedCase.load());
    fflush(stderr);
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

RandomCaseReport::RandomCaseReport(unsigned seed)
{
    g_reportedSeed = seed;
    g_reportedCase = -1;
    m_previous = SetUnhandledExceptionFilter(&ReportRandomCase);
}

RandomCaseReport::~RandomCaseReport()
{
    SetUnhandledExceptionFilter(m_previous);
}

void RandomCaseReport::SetCase(int number)
{
    g_reportedCase = number;
}

MessageBoxAnswerer::MessageBoxAnswerer(int button) : m_button(button)
{
    m_thread = std::thread([this] { Watch(); });
}

MessageBoxAnswerer::~MessageBoxAnswerer()
{
    m_stop = true;
    m_thread.join();
}

std::vector<std::wstring> MessageBoxAnswerer::Texts() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_texts;
}

std::vector<std::wstring> MessageBoxAnswerer::Captions() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_captions;
}

namespace {

struct Found {
    HWND box = nullptr;
};

BOOL CALLBACK FindMessageBox(HWND window, LPARAM param)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    // A message box is a dialog with a static text control (id 0xFFFF) in it.
    if (pid == GetCurrentProcessId() && wcscmp(className, L"#32770") == 0 && IsWindowVisible(window) &&
        GetDlgItem(window, 0xFFFF)) {
        reinterpret_cast<Found*>(param)->box = window;
        return FALSE;
    }
    return TRUE;
}

std::wstring WindowText(HWND window)
{
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(window, &text[0], length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

} // namespace

void MessageBoxAnswerer::Watch()
{
    while (!m_stop) {
        Found found;
        EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&found));
        if (found.box) {
            {
                std::lock_guard<std::mutex> lock(m_lock);
                m_texts.push_back(WindowText(GetDlgItem(found.box, 0xFFFF)));
                m_captions.push_back(WindowText(found.box));
            }
            PostMessageW(found.box, WM_COMMAND, MAKEWPARAM(m_button, BN_CLICKED), 0);
            // Wait for the box to go away before looking again.
            for (int i = 0; i < 200 && IsWindow(found.box); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

TempFolder::TempFolder()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static std::atomic<int> counter{0};
    m_path.Format(L"%sorvane-test-%lu-%d-%lu", temp, GetCurrentProcessId(), counter++, GetTickCount());
    CreateDirectoryW(m_path, nullptr);
}

TempFolder::~TempFolder()
{
    RemoveTree(m_path);
}

void RemoveTree(const CString& path)
{
    WIN32_FIND_DATAW data;
    win32::unique_hfind find(FindFirstFileW(path + L"\\*", &data));
    if (find) {
        do {
            if (wcscmp(data.cFileName, L".") == 0 || wcscmp(data.cFileName, L"..") == 0)
                continue;
            CString child = path + L"\\" + data.cFileName;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(child);
            else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryW(child);
            else {
                SetFileAttributesW(child, FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child);
            }
        } while (FindNextFileW(find.get(), &data));
    }
    find.reset();
    RemoveDirectoryW(path);
}

bool WriteFileBytes(const CString& path, const std::string& bytes)
{
    win32::unique_hfile file(
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::string ReadFileBytes(const CString& path)
{
    win32::unique_hfile file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::string();
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

} // namespace testing_support
