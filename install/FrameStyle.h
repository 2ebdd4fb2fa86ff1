// Changes to the frame window that the last pages make.
#pragma once

#include <windows.h>

// Takes the minimize box off the window and redraws its caption.
inline void RemoveMinimizeBox(HWND window)
{
    if (!window)
        return;
    LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    ::SetWindowLongPtrW(window, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_MINIMIZEBOX));
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
