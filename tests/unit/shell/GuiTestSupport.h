// What the window tests of the shell need: the process prepared as the wizard prepares
// it, and a way to let posted messages arrive.
#pragma once

#include "framework/CWinApp.h"
#include "win32/GdiplusSession.h"

#include <commctrl.h>

#include <chrono>
#include <thread>

namespace gui_test {

// Common controls, rich edit and GDI+ for the life of the test program.
inline void PrepareProcess()
{
    static bool done = [] {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_LINK_CLASS};
        InitCommonControlsEx(&controls);
        AfxInitRichEdit();
        // GDI+ stays up until the process ends: pictures may outlive any test.
        static auto* gdiplus = new win32::GdiplusSession();
        gdiplus->Start();
        return true;
    }();
    (void)done;
}

// Handles every message waiting for this thread.
inline void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

inline CString ItemText(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    wchar_t text[1024] = {};
    if (item)
        GetWindowTextW(item, text, 1024);
    return CString(text);
}

inline bool HasSystemClose(HWND window)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    return menu && GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) != static_cast<UINT>(-1);
}

} // namespace gui_test
