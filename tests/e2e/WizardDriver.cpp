#include "tests/e2e/WizardDriver.h"

#include "res/resource.h"
#include "tests/e2e/DriverSettings.h"
#include "win32/GdiplusSession.h"
#include "win32/ScopedGdi.h"
#include "win32/UniqueProcessInformation.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <memory>
#include <thread>

namespace e2e {

namespace {

std::wstring Widen(const char* text)
{
    std::wstring wide;
    for (; *text; ++text)
        wide += static_cast<wchar_t>(*text);
    return wide;
}

// Build paths are Unix paths; under Wine they live on drive Z:.
std::wstring WindowsPath(const char* path)
{
    std::wstring wide = Widen(path);
    for (auto& ch : wide)
        if (ch == L'/')
            ch = L'\\';
    if (!wide.empty() && wide[0] == L'\\')
        wide = L"Z:" + wide;
    return wide;
}

std::wstring TempPath()
{
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, path);
    return path;
}

std::wstring ClassName(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

DWORD ProcessOf(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

std::vector<HWND> TopLevelDialogs(DWORD processId)
{
    struct Search {
        DWORD pid;
        std::vector<HWND> found;
    } search{processId, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (ProcessOf(window) == s->pid && IsWindowVisible(window) && ClassName(window) == L"#32770")
                s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool EncoderFor(const wchar_t* mimeType, CLSID& clsid)
{
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    if (size == 0)
        return false;
    std::vector<BYTE> buffer(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, encoders);
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(encoders[i].MimeType, mimeType) == 0) {
            clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

void StartGdiplus()
{
    // For the rest of the driver's life.
    static win32::GdiplusSession* session = [] {
        auto* started = new win32::GdiplusSession();
        started->Start();
        return started;
    }();
    (void)session;
}

} // namespace

bool WaitUntil(const std::function<bool()>& condition, Milliseconds limit)
{
    auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(Milliseconds(50));
    }
}

WizardProcess::~WizardProcess()
{
    Kill();
}

bool WizardProcess::Start(const std::wstring& fileName, const std::wstring& folder)
{
    Kill();
    m_copy = (folder.empty() ? TempPath() : folder + L"\\") + fileName;
    // The copy a wizard just ended with may still be locked for a moment.
    if (!WaitUntil([&] { return CopyFileW(WindowsPath(WizardProgramPath).c_str(), m_copy.c_str(), FALSE) != FALSE; },
                   Milliseconds(3000))) {
        fprintf(stderr, "the wizard could not be copied to %ls: error %lu\n", m_copy.c_str(), GetLastError());
        return false;
    }
    std::wstring commandLine = L"\"" + m_copy + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    win32::unique_process_information info;
    if (!CreateProcessW(m_copy.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, info.put())) {
        fprintf(stderr, "the wizard could not be started: error %lu\n", GetLastError());
        return false;
    }
    m_id = info.processId();
    m_process.reset(info.release_process());
    return true;
}

bool WizardProcess::IsRunning() const
{
    return m_process && WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT;
}

bool WizardProcess::WaitForExit(Milliseconds limit, DWORD* exitCode) const
{
    if (!m_process || WaitForSingleObject(m_process.get(), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        GetExitCodeProcess(m_process.get(), exitCode);
    return true;
}

void WizardProcess::Kill()
{
    if (m_process) {
        if (IsRunning()) {
            TerminateProcess(m_process.get(), 1);
            WaitForSingleObject(m_process.get(), 5000);
        }
        m_process.reset();
    }
    if (!m_copy.empty()) {
        // The image may stay locked for a moment after the process ended.
        WaitUntil([&] { return DeleteFileW(m_copy.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND; }, Milliseconds(3000));
        m_copy.clear();
    }
}

HWND WaitForFrame(const WizardProcess& wizard, Milliseconds limit)
{
    HWND frame = nullptr;
    WaitUntil(
        [&] {
            for (HWND dialog : TopLevelDialogs(wizard.Id())) {
                if (GetDlgItem(dialog, IDC_PAGE_HOST)) {
                    frame = dialog;
                    return true;
                }
            }
            return false;
        },
        limit);
    return frame;
}

HWND VisiblePage(HWND frame)
{
    for (HWND child = GetWindow(frame, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassName(child) == L"#32770" && IsWindowVisible(child))
            return child;
    }
    return nullptr;
}

std::wstring PageName(HWND page)
{
    if (!page)
        return std::wstring();
    // Each page has a control no other page has.
    static const std::pair<int, const wchar_t*> marks[] = {
        {IDC_SPLASH_TEXT, L"LanguagePage"},
        {IDC_SPLASH_TITLE_BT, L"LanguagePageBT"},
        {IDC_LOADING_FRAME, L"LoadingPage"},
        {IDC_WELCOME_TITLE, L"WelcomePage"},
        {IDC_LICENSE_EULA, L"LicensePage"},
        {IDC_WARNING_TITLE, L"WarningPageBTClassic"},
        {IDC_ACCEPT, L"ProductPage"},
        {IDC_OPTIONS_TITLE, L"OptionsPageBTClassic"},
        {IDC_CONFIGURATIONS_TITLE, L"ConfigurationsPageBTClassic"},
        {IDC_LAUNCH_RADIO, L"FinishPageDLM"},
        {IDC_LAUNCH_CHECKBOX, L"FinishPageISV"},
        {IDC_CLOSE, L"ErrorPage"},
    };
    for (const auto& mark : marks)
        if (GetDlgItem(page, mark.first))
            return mark.second;
    if (GetDlgItem(page, IDC_PROGRESS_TITLE))
        return L"DownloadPage";
    return std::wstring();
}

HWND WaitForPage(HWND frame, const std::wstring& name, Milliseconds limit)
{
    HWND page = nullptr;
    WaitUntil(
        [&] {
            page = VisiblePage(frame);
            return page && PageName(page) == name;
        },
        limit);
    return page && PageName(page) == name ? page : nullptr;
}

HWND FindDialog(DWORD processId, const std::wstring& caption)
{
    for (HWND dialog : TopLevelDialogs(processId))
        if (WindowText(dialog) == caption)
            return dialog;
    return nullptr;
}

HWND WaitForDialog(const WizardProcess& wizard, const std::wstring& caption, Milliseconds limit)
{
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindDialog(wizard.Id(), caption)) != nullptr; }, limit);
    return dialog;
}

HWND FindMessageBox(DWORD processId)
{
    for (HWND dialog : TopLevelDialogs(processId))
        if (GetDlgItem(dialog, 0xFFFF))
            return dialog;
    return nullptr;
}

HWND WaitForMessageBox(const WizardProcess& wizard, Milliseconds limit)
{
    HWND box = nullptr;
    WaitUntil([&] { return (box = FindMessageBox(wizard.Id())) != nullptr; }, limit);
    return box;
}

std::wstring MessageBoxText(HWND box)
{
    return ItemText(box, 0xFFFF);
}

void AnswerMessageBox(HWND box, int button)
{
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
}

std::wstring WindowText(HWND window)
{
    wchar_t text[2048] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied);
    return text;
}

HWND VisibleItem(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    return item && IsWindowVisible(item) ? item : nullptr;
}

std::wstring ItemText(HWND dialog, int id)
{
    HWND item = VisibleItem(dialog, id);
    return item ? WindowText(item) : std::wstring();
}

bool Click(HWND dialog, int id)
{
    HWND item = VisibleItem(dialog, id);
    if (!item || !IsWindowEnabled(item))
        return false;
    return PostMessageW(item, BM_CLICK, 0, 0) != FALSE;
}

void PressKey(const WizardProcess& wizard, WPARAM key)
{
    HWND frame = WaitForFrame(wizard, Milliseconds(0));
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    HWND target = frame && GetGUIThreadInfo(GetWindowThreadProcessId(frame, nullptr), &info) && info.hwndFocus
                      ? info.hwndFocus
                      : frame;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
}

std::vector<std::wstring> ComboItems(HWND combo)
{
    std::vector<std::wstring> items;
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

int ComboSelection(HWND combo)
{
    return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

COLORREF ScreenPixel(int x, int y)
{
    win32::unique_window_dc screen(nullptr);
    return GetPixel(screen.get(), x, y);
}

std::wstring SaveScreenshot(const std::wstring& name)
{
    StartGdiplus();
    // The run command's autopilot names a folder of its own.
    wchar_t chosen[MAX_PATH] = {};
    const DWORD chosenLength = GetEnvironmentVariableW(L"ORVANE_SCREENSHOT_DIR", chosen, MAX_PATH);
    std::wstring folder =
        chosenLength > 0 && chosenLength < MAX_PATH ? std::wstring(chosen) : WindowsPath(ScreenshotFolderPath);
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    std::wstring path = folder + L"\\" + name + L".png";

    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    win32::unique_window_dc screen(nullptr);
    win32::unique_memory_dc memory(CreateCompatibleDC(screen.get()));
    win32::unique_gdiobj bitmapOwner(CreateCompatibleBitmap(screen.get(), width, height));
    auto bitmap = static_cast<HBITMAP>(bitmapOwner.get());
    {
        win32::unique_select_object selected(memory.get(), bitmap);
        BitBlt(memory.get(), 0, 0, width, height, screen.get(), 0, 0, SRCCOPY);
    }
    Gdiplus::Bitmap image(bitmap, nullptr);
    CLSID png;
    const bool saved = EncoderFor(L"image/png", png) && image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
    return saved ? path : std::wstring();
}

std::vector<std::wstring> WorkingFolders()
{
    std::vector<std::wstring> folders;
    std::wstring temp = TempPath();
    WIN32_FIND_DATAW found = {};
    win32::unique_hfind search(FindFirstFileW((temp + L"ISV*.tmp").c_str(), &found));
    if (!search)
        return folders;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            folders.push_back(temp + found.cFileName);
    } while (FindNextFileW(search.get(), &found));
    return folders;
}

} // namespace e2e
