// Pictures that arrive as bytes (offer pictures, the product's header picture).
#pragma once

#include <cstddef>
#include <memory>

namespace Gdiplus {
class Bitmap;
}

// The picture the bytes hold, or null when GDI+ cannot read them, when they are no
// PNG, JPEG, GIF or bitmap, or when the picture has more pixels or bytes than any
// picture a page shows.
// The bytes are copied; the caller may free them at once.
std::shared_ptr<Gdiplus::Bitmap> DecodePicture(const void* bytes, size_t size);
