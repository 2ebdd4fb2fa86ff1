#include "shell/PictureDecoding.h"

#include "shell/PictureSize.h"
#include "win32/ComPtr.h"

#include <windows.h>
#include <objbase.h>
#include <gdiplus.h>

#include <cstring>

namespace {

// Decoders allocate every pixel at once: a picture of a hundred kilobytes can claim
// 20000 x 20000 pixels, gigabytes and many seconds. The pages show pictures a few
// hundred pixels wide; this is far beyond any of them (64 MiB decoded).
constexpr uint64_t MaxPicturePixels = 4096ull * 4096ull;
// Room for the largest of them as an uncompressed bitmap: more bytes are no picture
// worth copying.
constexpr size_t MaxPictureBytes = 80u << 20;

} // namespace

std::shared_ptr<Gdiplus::Bitmap> DecodePicture(const void* bytes, size_t size)
{
    if (!bytes || size == 0 || size > MaxPictureBytes)
        return nullptr;
    // Only pictures whose size can be read from their header are decoded.
    const uint64_t pixels = StatedPixels(bytes, size);
    if (pixels == 0 || pixels > MaxPicturePixels)
        return nullptr;
    // A stream over global memory: GDI+ decodes from it at once, while under Wine a
    // shell memory stream can make the same picture take seconds.
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory)
        return nullptr;
    void* target = ::GlobalLock(memory);
    if (!target) {
        ::GlobalFree(memory);
        return nullptr;
    }
    memcpy(target, bytes, size);
    ::GlobalUnlock(memory);
    IStream* opened = nullptr;
    // With delete-on-release the stream owns the memory from here on.
    if (FAILED(::CreateStreamOnHGlobal(memory, TRUE, &opened)) || !opened) {
        ::GlobalFree(memory);
        return nullptr;
    }
    win32::com_ptr<IStream> stream(opened);
    // The bitmap keeps its own reference to the stream.
    auto picture = std::make_shared<Gdiplus::Bitmap>(stream.get());
    if (picture->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    return picture;
}
