// A GDI font owned by the object that created it.
#pragma once

#include "win32/UniqueResource.h"

class CFont {
public:
    CFont() = default;
    BOOL CreateFontIndirect(const LOGFONTW* description)
    {
        m_font.reset(description ? ::CreateFontIndirectW(description) : nullptr);
        return m_font ? TRUE : FALSE;
    }
    HFONT GetSafeHandle() const noexcept { return static_cast<HFONT>(m_font.get()); }
    operator HFONT() const noexcept { return GetSafeHandle(); }

    // The description of any font handle (the font of a control, for example).
    static bool Describe(HFONT font, LOGFONTW& description)
    {
        return font && ::GetObjectW(font, sizeof(description), &description) == sizeof(description);
    }

private:
    win32::unique_gdiobj m_font;
};
