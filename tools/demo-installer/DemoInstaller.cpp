// The demo catalog's installers: one small program under several names. Run as an
// installer (any other place) it shows a window with the product's name for a moment,
// installs itself as %LOCALAPPDATA%\<name>\<name>.exe, writes a marker with its command
// line and exits 0. Run from that installed place it is the product: its window says
// the product runs, and it writes its own marker. Markers go to ORVANE_MARKER_DIR, or
// next to the program, as "<name>.marker" (installer) and "<name>.run.marker" (product).
#include "win32/UniqueResource.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace {

const wchar_t* const WindowClass = L"OrvaneDemoInstaller";

struct Product {
    const wchar_t* stem;
    const wchar_t* title;
};

// The demo catalog's products; any other name shows itself.
const Product Products[] = {
    {L"OrvaneDemo", L"Orvane Demo"},   {L"NotesSetup", L"Quill Notes"},
    {L"PhotosSetup", L"Lumen Photos"}, {L"BackupSetup", L"Harbor Backup"},
    {L"StudioSetup", L"Pixel Studio"},
};

std::wstring g_text;

std::wstring Stem(const std::wstring& path)
{
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    return name.substr(0, name.rfind(L'.'));
}

std::wstring ParentFolder(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L"\\/"));
}

std::wstring LocalAppData()
{
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path)))
        folder = path;
    CoTaskMemFree(path);
    return folder;
}

void WriteMarker(const std::wstring& self, const std::wstring& name)
{
    wchar_t folder[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(L"ORVANE_MARKER_DIR", folder, MAX_PATH);
    std::wstring path = (length > 0 && length < MAX_PATH ? std::wstring(folder) : ParentFolder(self)) + L"\\" + name;
    const wchar_t* commandLine = GetCommandLineW();
    int size = WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, nullptr, 0, nullptr, nullptr);
    std::string text(size > 1 ? static_cast<size_t>(size - 1) : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, &text[0], size, nullptr, nullptr);
    win32::unique_hfile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file)
        WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        SetBkMode(dc, TRANSPARENT);
        SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        DrawTextW(dc, g_text.c_str(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_TIMER:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Shows the window for a moment (ORVANE_DEMO_SHOW_MS, 1500 ms by default).
void ShowFor(HINSTANCE instance, const std::wstring& caption)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = WindowClass;
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, WindowClass, caption.c_str(), WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 360, 140, nullptr, nullptr, instance, nullptr);
    if (!window)
        return;
    wchar_t value[16] = {};
    UINT showMs = GetEnvironmentVariableW(L"ORVANE_DEMO_SHOW_MS", value, 16) > 0 ? wcstoul(value, nullptr, 10) : 1500;
    SetTimer(window, 1, showMs, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    wchar_t buffer[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    const std::wstring self(buffer, length);
    const std::wstring stem = Stem(self);
    std::wstring title = stem;
    for (const Product& product : Products)
        if (stem == product.stem)
            title = product.title;

    const std::wstring installed = LocalAppData() + L"\\" + stem;
    if (lstrcmpiW(ParentFolder(self).c_str(), installed.c_str()) == 0) {
        WriteMarker(self, stem + L".run.marker");
        g_text = title + L" is installed and running.";
        ShowFor(instance, title);
        return 0;
    }
    WriteMarker(self, stem + L".marker");
    g_text = L"Installing " + title + L"...";
    CreateDirectoryW(installed.c_str(), nullptr);
    CopyFileW(self.c_str(), (installed + L"\\" + stem + L".exe").c_str(), FALSE);
    ShowFor(instance, title + L" Setup");
    return 0;
}
