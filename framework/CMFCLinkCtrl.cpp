#include "framework/CMFCLinkCtrl.h"

#include "win32/ScopedGdi.h"
#include "win32/UniqueResource.h"

#include <shellapi.h>
#include <windowsx.h>

namespace {

const COLORREF LinkColour = RGB(0, 102, 204);

} // namespace

void CMFCLinkCtrl::SizeToContent()
{
    if (!m_hWnd)
        return;
    CString text = GetWindowText();
    RECT measured = {0, 0, 0, 0};
    {
        win32::unique_window_dc dc(m_hWnd);
        if (!dc)
            return;
        win32::unique_select_object font(dc.get(), GetFont());
        ::DrawTextW(dc.get(), text, text.GetLength(), &measured, DT_SINGLELINE | DT_CALCRECT);
    }
    // A little room so the focus rectangle does not touch the letters.
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, measured.right + 4, measured.bottom + 2,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Invalidate();
}

void CMFCLinkCtrl::Paint()
{
    win32::unique_paint_dc paint(m_hWnd);
    HDC dc = paint.get();
    if (!dc)
        return;
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    // The parent colours the background as it does for its other controls.
    HWND parent = ::GetParent(m_hWnd);
    auto brush = reinterpret_cast<HBRUSH>(
        ::SendMessageW(parent, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(m_hWnd)));
    ::FillRect(dc, &client, brush ? brush : ::GetSysColorBrush(COLOR_BTNFACE));

    LOGFONTW description = {};
    HFONT base = GetFont();
    if (!base)
        base = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    ::GetObjectW(base, sizeof(description), &description);
    description.lfUnderline = TRUE;
    win32::unique_gdiobj underlined(::CreateFontIndirectW(&description));
    win32::unique_select_object font(dc, underlined ? underlined.get() : base);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, LinkColour);
    CString text = GetWindowText();
    RECT textRect = client;
    textRect.left += 1;
    ::DrawTextW(dc, text, text.GetLength(), &textRect, DT_SINGLELINE | DT_LEFT | DT_VCENTER | DT_NOPREFIX);
    if (::GetFocus() == m_hWnd)
        ::DrawFocusRect(dc, &client);
}

void CMFCLinkCtrl::Open()
{
    if (!m_url.IsEmpty())
        ::ShellExecuteW(nullptr, L"open", m_url, nullptr, nullptr, SW_SHOWNORMAL);
}

LRESULT CMFCLinkCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    case WM_LBUTTONDOWN:
        m_pressed = true;
        ::SetCapture(m_hWnd);
        return 0;
    case WM_LBUTTONUP: {
        bool wasPressed = m_pressed;
        m_pressed = false;
        ::ReleaseCapture();
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (wasPressed && ::PtInRect(&client, at))
            Open();
        return 0;
    }
    case BM_CLICK:
        Open();
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE)
            Open();
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        Invalidate();
        return Default(message, wParam, lParam);
    default:
        return Default(message, wParam, lParam);
    }
}
