// Holds Wine's desktop open for a whole test run. When the last window of a run's
// programs closes, Wine shuts the desktop down after a pause, and a program that
// starts during that pause waits seconds for a new one; with this hidden window alive
// the desktop stays up. It ends when the run stops it.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"OrvaneDesktopKeeper";
    if (!RegisterClassW(&windowClass))
        return 1;
    // Never shown: a hidden top-level window is enough to keep the desktop in use.
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 1, 1, nullptr, nullptr,
                                  instance, nullptr);
    if (!window)
        return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
