#include "framework/CWnd.h"

#include <commctrl.h>

CWnd::~CWnd()
{
    Unsubclass();
}

HWND CWnd::Detach() noexcept
{
    Unsubclass();
    HWND hwnd = m_hWnd;
    m_hWnd = nullptr;
    return hwnd;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    if (!parent)
        return FALSE;
    HWND item = ::GetDlgItem(parent->GetSafeHwnd(), static_cast<int>(id));
    return item ? SubclassWindow(item) : FALSE;
}

BOOL CWnd::SubclassWindow(HWND hwnd)
{
    Unsubclass();
    m_hWnd = hwnd;
    if (!hwnd)
        return FALSE;
    m_subclassed = ::SetWindowSubclass(hwnd, &CWnd::SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this)) != FALSE;
    return m_subclassed ? TRUE : FALSE;
}

void CWnd::Unsubclass() noexcept
{
    if (m_subclassed && m_hWnd && ::IsWindow(m_hWnd))
        ::RemoveWindowSubclass(m_hWnd, &CWnd::SubclassProc, 0);
    m_subclassed = false;
}

CWnd* CWnd::GetDlgItem(int id) const
{
    HWND item = ::GetDlgItem(m_hWnd, id);
    for (const auto& wrapper : m_handedOut)
        if (wrapper->m_hWnd == item)
            return wrapper.get();
    m_handedOut.push_back(std::make_unique<CWnd>(item));
    return m_handedOut.back().get();
}

CWnd* CWnd::GetParent() const
{
    HWND parent = ::GetParent(m_hWnd);
    for (const auto& wrapper : m_handedOut)
        if (wrapper->m_hWnd == parent)
            return wrapper.get();
    m_handedOut.push_back(std::make_unique<CWnd>(parent));
    return m_handedOut.back().get();
}

CString CWnd::GetWindowText() const
{
    int length = ::GetWindowTextLengthW(m_hWnd);
    CString text;
    if (length > 0) {
        ::GetWindowTextW(m_hWnd, text.GetBufferSetLength(length + 1), length + 1);
        text.ReleaseBuffer();
    }
    return text;
}

CString CWnd::GetDlgItemText(int id) const
{
    HWND item = ::GetDlgItem(m_hWnd, id);
    CWnd wrapper(item);
    CString text = item ? wrapper.GetWindowText() : CString();
    wrapper.Detach();
    return text;
}

void CWnd::ScreenToClient(LPRECT rect) const
{
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd || !::IsWindow(m_hWnd))
        return FALSE;
    Unsubclass();
    HWND hwnd = m_hWnd;
    m_hWnd = nullptr;
    return ::DestroyWindow(hwnd);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return Default(message, wParam, lParam);
}

LRESULT CWnd::Default(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::DefSubclassProc(m_hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR data)
{
    auto* self = reinterpret_cast<CWnd*>(data);
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hwnd, &CWnd::SubclassProc, 0);
        if (self)
            self->m_subclassed = false;
        return ::DefSubclassProc(hwnd, message, wParam, lParam);
    }
    // A control's own handler may fail; the window procedure must not let that through.
    try {
        return self ? self->WindowProc(message, wParam, lParam) : ::DefSubclassProc(hwnd, message, wParam, lParam);
    } catch (...) {
        return ::DefSubclassProc(hwnd, message, wParam, lParam);
    }
}
