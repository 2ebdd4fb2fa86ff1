// A rectangle in pixels: RECT with the helpers the pages use.
#pragma once

#include <windows.h>

class CRect : public RECT {
public:
    CRect() noexcept : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) noexcept : RECT{l, t, r, b} {}
    CRect(const RECT& r) noexcept : RECT(r) {}

    int Width() const noexcept { return right - left; }
    int Height() const noexcept { return bottom - top; }
    bool IsRectEmpty() const noexcept { return Width() <= 0 || Height() <= 0; }
    POINT TopLeft() const noexcept { return POINT{left, top}; }
    operator LPRECT() noexcept { return this; }
    operator LPCRECT() const noexcept { return this; }
};
