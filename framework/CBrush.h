// A GDI brush owned by the object that created it.
#pragma once

#include "win32/UniqueResource.h"

class CBrush {
public:
    CBrush() = default;
    BOOL CreateSolidBrush(COLORREF color)
    {
        m_brush.reset(::CreateSolidBrush(color));
        return m_brush ? TRUE : FALSE;
    }
    HBRUSH GetSafeHandle() const noexcept { return static_cast<HBRUSH>(m_brush.get()); }
    operator HBRUSH() const noexcept { return GetSafeHandle(); }

private:
    win32::unique_gdiobj m_brush;
};
