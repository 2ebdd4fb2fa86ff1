#include "shell/PictureSize.h"

#include <cstdlib>
#include <cstring>

namespace {

// Enough to tell every frame of an animation apart from a real picture's count.
constexpr uint64_t EnoughPixels = 1ull << 40;

uint32_t BigEndian16(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) << 8 | p[1];
}

uint32_t BigEndian32(const unsigned char* p)
{
    return BigEndian16(p) << 16 | BigEndian16(p + 2);
}

uint32_t LittleEndian16(const unsigned char* p)
{
    return static_cast<uint32_t>(p[1]) << 8 | p[0];
}

uint32_t LittleEndian32(const unsigned char* p)
{
    return LittleEndian16(p + 2) << 16 | LittleEndian16(p);
}

uint64_t PngPixels(const unsigned char* p, size_t size)
{
    // The signature, then the IHDR chunk: length, type, width, height.
    if (size < 24 || memcmp(p + 12, "IHDR", 4) != 0)
        return 0;
    return static_cast<uint64_t>(BigEndian32(p + 16)) * BigEndian32(p + 20);
}

uint64_t JpegPixels(const unsigned char* p, size_t size)
{
    size_t at = 2;
    while (at + 4 <= size) {
        if (p[at] != 0xFF)
            return 0;
        const unsigned char marker = p[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        // Markers without a length.
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            at += 2;
            continue;
        }
        // The image data or its end before any frame header.
        if (marker == 0xD9 || marker == 0xDA)
            return 0;
        const uint32_t length = BigEndian16(p + at + 2);
        if (length < 2)
            return 0;
        // Frame headers SOF0 to SOF15 (C4, C8 and CC are other tables): precision,
        // height, width.
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (length < 7 || at + 9 > size)
                return 0;
            return static_cast<uint64_t>(BigEndian16(p + at + 5)) * BigEndian16(p + at + 7);
        }
        at += 2 + length;
    }
    return 0;
}

uint64_t BitmapPixels(const unsigned char* p, size_t size)
{
    if (size < 26)
        return 0;
    const uint32_t header = LittleEndian32(p + 14);
    // The old core header has 16-bit sizes; the others signed 32-bit ones (a negative
    // height is a picture stored top-down).
    if (header == 12)
        return static_cast<uint64_t>(LittleEndian16(p + 18)) * LittleEndian16(p + 20);
    if (header < 40)
        return 0;
    const int64_t width = static_cast<int32_t>(LittleEndian32(p + 18));
    const int64_t height = static_cast<int32_t>(LittleEndian32(p + 22));
    return static_cast<uint64_t>(std::llabs(width)) * static_cast<uint64_t>(std::llabs(height));
}

// Skips a series of data sub-blocks (each a length byte and its bytes, ended by a zero
// length): false when the bytes end first.
bool SkipSubBlocks(const unsigned char* p, size_t size, size_t& at)
{
    while (at < size) {
        const size_t length = p[at++];
        if (length == 0)
            return true;
        at += length;
    }
    return false;
}

uint64_t GifPixels(const unsigned char* p, size_t size)
{
    if (size < 13)
        return 0;
    uint64_t pixels = static_cast<uint64_t>(LittleEndian16(p + 6)) * LittleEndian16(p + 8);
    size_t at = 13;
    if (p[10] & 0x80)
        at += 3u << ((p[10] & 7) + 1);
    // Every frame is decoded at once, each at the size of its own descriptor.
    while (at < size && pixels < EnoughPixels) {
        const unsigned char block = p[at++];
        if (block == 0x3B)
            break;
        if (block == 0x21) {
            ++at;
            if (!SkipSubBlocks(p, size, at))
                break;
        } else if (block == 0x2C) {
            if (at + 10 > size)
                return 0;
            pixels += static_cast<uint64_t>(LittleEndian16(p + at + 4)) * LittleEndian16(p + at + 6);
            const unsigned char flags = p[at + 8];
            at += 9;
            if (flags & 0x80)
                at += 3u << ((flags & 7) + 1);
            // The code size, then the picture's data.
            ++at;
            if (!SkipSubBlocks(p, size, at))
                break;
        } else {
            return 0;
        }
    }
    return pixels;
}

} // namespace

uint64_t StatedPixels(const void* bytes, size_t size)
{
    const auto* p = static_cast<const unsigned char*>(bytes);
    if (!p)
        return 0;
    if (size >= 8 && memcmp(p, "\x89PNG\r\n\x1a\n", 8) == 0)
        return PngPixels(p, size);
    if (size >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF)
        return JpegPixels(p, size);
    if (size >= 6 && (memcmp(p, "GIF87a", 6) == 0 || memcmp(p, "GIF89a", 6) == 0))
        return GifPixels(p, size);
    if (size >= 2 && p[0] == 'B' && p[1] == 'M')
        return BitmapPixels(p, size);
    return 0;
}
