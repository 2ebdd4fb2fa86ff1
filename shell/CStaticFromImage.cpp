#include "shell/CStaticFromImage.h"

#include "win32/ScopedGdi.h"

#include <objidl.h>
#include <gdiplus.h>

std::shared_ptr<Gdiplus::Bitmap> LoadPngResource(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    std::shared_ptr<Gdiplus::Bitmap> result;
    HRSRC resource = ::FindResourceW(module, name, type);
    if (!resource)
        return result;
    DWORD size = ::SizeofResource(module, resource);
    if (size == 0)
        return result;
    HGLOBAL loaded = ::LoadResource(module, resource);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes)
        return result;
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!memory)
        return result;
    void* target = ::GlobalLock(memory);
    if (!target) {
        ::GlobalFree(memory);
        return result;
    }
    memcpy(target, bytes, size);
    ::GlobalUnlock(memory);
    IStream* stream = nullptr;
    // With delete-on-release the stream owns the memory from here on.
    if (SUCCEEDED(::CreateStreamOnHGlobal(memory, TRUE, &stream)) && stream) {
        result = std::make_shared<Gdiplus::Bitmap>(stream);
        stream->Release();
    } else {
        ::GlobalFree(memory);
    }
    return result;
}

void CStaticFromImage::SetImage(std::shared_ptr<Gdiplus::Image> image)
{
    m_image = std::move(image);
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CStaticFromImage::LoadImage(UINT id, LPCWSTR type)
{
    SetImage(LoadPngResource(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), type));
}

void CStaticFromImage::OnPaint()
{
    win32::unique_paint_dc paint(m_hWnd);
    if (m_image && paint) {
        Gdiplus::Graphics graphics(paint.get());
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        graphics.DrawImage(m_image.get(), 0, 0, client.right - client.left, client.bottom - client.top);
    }
}

LRESULT CStaticFromImage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        OnPaint();
        return 0;
    }
    return Default(message, wParam, lParam);
}
