// Scoped owners of paired GDI calls, so that painting code never pairs them by hand:
// the paint DC (BeginPaint / EndPaint), a window's DC (GetDC / ReleaseDC), a memory DC
// (CreateCompatibleDC / DeleteDC) and an object selected into a DC (SelectObject, and
// the previous object selected back).
#pragma once

#include "win32/UniqueResource.h"

#include <windows.h>

namespace win32 {

class unique_paint_dc {
public:
    explicit unique_paint_dc(HWND window) noexcept : m_window(window), m_dc(::BeginPaint(window, &m_paint)) {}
    ~unique_paint_dc()
    {
        if (m_window)
            ::EndPaint(m_window, &m_paint);
    }
    unique_paint_dc(const unique_paint_dc&) = delete;
    unique_paint_dc& operator=(const unique_paint_dc&) = delete;

    HDC get() const noexcept { return m_dc; }
    explicit operator bool() const noexcept { return m_dc != nullptr; }
    const PAINTSTRUCT& paint() const noexcept { return m_paint; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint = {};
    HDC m_dc;
};

// The DC of a window's client area, or of the screen for a null window.
class unique_window_dc {
public:
    explicit unique_window_dc(HWND window) noexcept : m_window(window), m_dc(::GetDC(window)) {}
    ~unique_window_dc()
    {
        if (m_dc)
            ::ReleaseDC(m_window, m_dc);
    }
    unique_window_dc(const unique_window_dc&) = delete;
    unique_window_dc& operator=(const unique_window_dc&) = delete;

    HDC get() const noexcept { return m_dc; }
    explicit operator bool() const noexcept { return m_dc != nullptr; }

private:
    HWND m_window;
    HDC m_dc;
};

struct MemoryDcTraits {
    static HDC Invalid() noexcept { return nullptr; }
    static void Close(HDC dc) noexcept { ::DeleteDC(dc); }
};
using unique_memory_dc = UniqueResource<HDC, MemoryDcTraits>;

// Selects an object into a DC until the owner goes, then puts the previous one back.
class unique_select_object {
public:
    unique_select_object(HDC dc, HGDIOBJ object) noexcept
        : m_dc(dc), m_previous(dc && object ? ::SelectObject(dc, object) : nullptr)
    {
    }
    ~unique_select_object()
    {
        if (m_previous && m_previous != HGDI_ERROR)
            ::SelectObject(m_dc, m_previous);
    }
    unique_select_object(const unique_select_object&) = delete;
    unique_select_object& operator=(const unique_select_object&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

} // namespace win32
