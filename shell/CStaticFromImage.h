// A static control that paints a GDI+ image stretched over its whole client area.
// Several controls may share one image.
#pragma once

#include "framework/CStatic.h"

#include <memory>

namespace Gdiplus {
class Image;
class Bitmap;
}

// A PNG (or any picture GDI+ reads) from a custom resource, or empty when the resource
// cannot be read.
std::shared_ptr<Gdiplus::Bitmap> LoadPngResource(HMODULE module, LPCWSTR name, LPCWSTR type);

class CStaticFromImage : public CStatic {
public:
    void SetImage(std::shared_ptr<Gdiplus::Image> image);
    void LoadImage(UINT id, LPCWSTR type);
    const std::shared_ptr<Gdiplus::Image>& GetImage() const noexcept { return m_image; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPaint();

private:
    std::shared_ptr<Gdiplus::Image> m_image;
};
