// What a picture's header says of its size, read before any decoder sees the bytes:
// decoders allocate every pixel a header claims, and a small file can claim gigabytes.
#pragma once

#include <cstddef>
#include <cstdint>

// The pixels the header of a PNG, JPEG, GIF (every frame and the screen together) or
// bitmap says the picture has; 0 for other bytes and for a header that is cut or broken.
uint64_t StatedPixels(const void* bytes, size_t size);
