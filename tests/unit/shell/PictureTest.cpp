#include "res/resource.h"
#include "shell/CStaticFromImage.h"
#include "shell/PictureDecoding.h"
#include "win32/ComPtr.h"
#include "tests/unit/shell/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <zlib.h>

namespace {

const COLORREF Backdrop = RGB(255, 0, 255);

// A plain window with picture controls on it, painted on the test display.
class PictureWindow {
public:
    PictureWindow()
    {
        gui_test::PrepareProcess();
        static ATOM registered = [] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"OrvanePictureTest";
            return RegisterClassW(&wc);
        }();
        (void)registered;
        m_window = CreateWindowExW(0, L"OrvanePictureTest", L"", WS_POPUP | WS_VISIBLE, 0, 0, 300, 100, nullptr,
                                   nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~PictureWindow() { DestroyWindow(m_window); }

    HWND AddStatic(int id, int x)
    {
        return CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, x, 0, 64, 64, m_window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    }

    // The colour in the middle of a control after it painted over the backdrop.
    COLORREF Painted(HWND control)
    {
        HDC dc = GetDC(control);
        RECT client;
        GetClientRect(control, &client);
        HBRUSH brush = CreateSolidBrush(Backdrop);
        FillRect(dc, &client, brush);
        DeleteObject(brush);
        ReleaseDC(control, dc);
        ValidateRect(control, nullptr);
        InvalidateRect(control, nullptr, FALSE);
        UpdateWindow(control);
        dc = GetDC(control);
        COLORREF colour = GetPixel(dc, 32, 32);
        ReleaseDC(control, dc);
        return colour;
    }

    HWND m_window = nullptr;
};

} // namespace

TEST(LoadPngResource, ReadsThePicturesOfTheProgram)
{
    gui_test::PrepareProcess();
    struct Case {
        UINT id;
        const wchar_t* type;
    } cases[] = {{IDB_PICTURE_WELCOME, L"IMAGE_BLOB"}, {IDB_PICTURE_FINISH, L"IMAGE_BLOB2"}, {IDB_PICTURE_ERROR, L"IMAGE_BLOB3"}};
    for (const auto& c : cases) {
        auto bitmap = LoadPngResource(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(c.id), c.type);
        ASSERT_TRUE(bitmap) << c.id;
        EXPECT_EQ(bitmap->GetLastStatus(), Gdiplus::Ok);
        EXPECT_EQ(bitmap->GetWidth(), 512u);
        EXPECT_EQ(bitmap->GetHeight(), 512u);
    }
    // Wrong type, unknown id: nothing.
    EXPECT_FALSE(LoadPngResource(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_PICTURE_WELCOME), L"IMAGE_BLOB2"));
    EXPECT_FALSE(LoadPngResource(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(999), L"IMAGE_BLOB"));
    // A resource that is no picture gives an object without an image.
    auto notAPicture = LoadPngResource(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    ASSERT_TRUE(notAPicture);
    EXPECT_NE(notAPicture->GetLastStatus(), Gdiplus::Ok);
}

TEST(CStaticFromImage, PaintsNothingWithoutAnImage)
{
    PictureWindow window;
    CStaticFromImage empty;
    ASSERT_TRUE(empty.SubclassWindow(window.AddStatic(1, 0)));
    EXPECT_EQ(window.Painted(empty), Backdrop);

    CStaticFromImage undecodable;
    undecodable.SubclassWindow(window.AddStatic(2, 70));
    undecodable.LoadImage(1, MAKEINTRESOURCEW(16));
    EXPECT_EQ(window.Painted(undecodable), Backdrop);
}

TEST(CStaticFromImage, TwoControlsShareOneImage)
{
    PictureWindow window;
    std::shared_ptr<Gdiplus::Image> finish =
        LoadPngResource(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_PICTURE_FINISH), L"IMAGE_BLOB2");
    ASSERT_TRUE(finish);
    // The middle of the finish picture is green (46, 125, 50).
    const COLORREF green = RGB(46, 125, 50);
    auto first = std::make_unique<CStaticFromImage>();
    CStaticFromImage second;
    first->SubclassWindow(window.AddStatic(1, 0));
    second.SubclassWindow(window.AddStatic(2, 70));
    first->SetImage(finish);
    second.SetImage(finish);
    EXPECT_EQ(window.Painted(*first), green);
    EXPECT_EQ(window.Painted(second), green);

    HWND firstWindow = *first;
    first.reset();
    DestroyWindow(firstWindow);
    finish.reset();
    EXPECT_EQ(window.Painted(second), green);

    second.LoadImage(IDB_PICTURE_WELCOME, L"IMAGE_BLOB");
    EXPECT_EQ(window.Painted(second), RGB(255, 255, 255));
}

namespace {

std::string ResourceBytes(UINT id, const wchar_t* type)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(module, resource)) : std::string();
}

std::string BigEndian(uint32_t value)
{
    return std::string{static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
                       static_cast<char>(value)};
}

// A PNG chunk: length, type, data and its CRC.
std::string PngChunk(const std::string& type, const std::string& data)
{
    const std::string body = type + data;
    const uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    return BigEndian(static_cast<uint32_t>(data.size())) + body + BigEndian(crc);
}

// A complete PNG of transparent 8-bit RGBA pixels: small however many pixels it has.
std::string TransparentPng(uint32_t width, uint32_t height)
{
    z_stream stream = {};
    deflateInit2(&stream, 9, Z_DEFLATED, 15, 9, Z_RLE);
    const std::string row(1 + static_cast<size_t>(width) * 4, '\0');
    std::string data;
    char out[64 * 1024];
    for (uint32_t y = 0; y <= height; ++y) {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(row.data()));
        stream.avail_in = y < height ? static_cast<uInt>(row.size()) : 0;
        const int flush = y < height ? Z_NO_FLUSH : Z_FINISH;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(out);
            stream.avail_out = sizeof(out);
            deflate(&stream, flush);
            data.append(out, sizeof(out) - stream.avail_out);
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return std::string("\x89PNG\r\n\x1a\n", 8) +
           PngChunk("IHDR", BigEndian(width) + BigEndian(height) + std::string("\x08\x06\x00\x00\x00", 5)) +
           PngChunk("IDAT", data) + PngChunk("IEND", "");
}

// A 16 x 16 picture written by GDI+'s encoder of that type.
std::string Encoded(const wchar_t* mimeType)
{
    UINT count = 0;
    UINT size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<char> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (size == 0 || Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok)
        return std::string();
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(codecs[i].MimeType, mimeType) != 0)
            continue;
        Gdiplus::Bitmap bitmap(16, 16, PixelFormat32bppARGB);
        IStream* opened = nullptr;
        if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &opened)))
            return std::string();
        win32::com_ptr<IStream> stream(opened);
        if (bitmap.Save(stream.get(), &codecs[i].Clsid, nullptr) != Gdiplus::Ok)
            return std::string();
        STATSTG stat = {};
        stream->Stat(&stat, STATFLAG_NONAME);
        std::string bytes(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
        const LARGE_INTEGER start = {};
        stream->Seek(start, STREAM_SEEK_SET, nullptr);
        ULONG read = 0;
        stream->Read(&bytes[0], static_cast<ULONG>(bytes.size()), &read);
        bytes.resize(read);
        return bytes;
    }
    return std::string();
}

void PutBigEndian16(std::string& bytes, size_t at, uint16_t value)
{
    bytes[at] = static_cast<char>(value >> 8);
    bytes[at + 1] = static_cast<char>(value);
}

void PutLittleEndian32(std::string& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

} // namespace

// Offer pictures come from the server: bytes that are no picture, or a picture that
// claims more than it holds, give no picture.
TEST(DecodePicture, BytesThatAreNoPictureGiveNone)
{
    gui_test::PrepareProcess();
    const std::string png = ResourceBytes(IDB_PICTURE_WELCOME, L"IMAGE_BLOB");
    ASSERT_GT(png.size(), 1000u);
    ASSERT_TRUE(DecodePicture(png.data(), png.size())) << "the program's own picture decodes";

    const std::string signature("\x89PNG\r\n\x1a\n", 8);
    // 65535 x 65535 pixels of 8-bit RGBA: 16 GiB, with no image data at all.
    const std::string huge = signature +
                             PngChunk("IHDR", std::string("\x00\x00\xFF\xFF\x00\x00\xFF\xFF\x08\x06\x00\x00\x00", 13)) +
                             PngChunk("IEND", "");
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"text", "this is not a picture"},
        {"an HTML error page", "<html><body>404 Not Found</body></html>"},
        {"the first 200 bytes of a PNG", png.substr(0, 200)},
        {"a PNG cut in half", png.substr(0, png.size() / 2)},
        {"a PNG signature and nothing else", signature},
        {"a PNG of 65535 x 65535 pixels without data", huge},
        {"a GIF header of 65535 x 65535 pixels", std::string("GIF89a\xFF\xFF\xFF\xFF\x00\x00\x00", 13)},
        {"a bitmap header claiming 4 GiB", std::string("BM\xFF\xFF\xFF\xFF\x00\x00\x00\x00\x36\x00\x00\x00", 14)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(DecodePicture(c.bytes.data(), c.bytes.size()));
    }
}

// A complete picture of a few hundred kilobytes can hold more pixels than memory: one
// of more pixels, or more bytes, than any page could show gives no picture, without
// being decoded.
TEST(DecodePicture, APictureOfTooManyPixelsOrBytesGivesNone)
{
    gui_test::PrepareProcess();
    const std::string normal = TransparentPng(640, 480);
    const auto picture = DecodePicture(normal.data(), normal.size());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->GetWidth(), 640u);
    // The bound is on the pixels, not on either side.
    const std::string strip = TransparentPng(16384, 2);
    EXPECT_TRUE(DecodePicture(strip.data(), strip.size()));

    // 25 million pixels, 100 MiB decoded, from about 100 KB.
    const std::string bomb = TransparentPng(5000, 5000);
    EXPECT_LT(bomb.size(), 1u << 20);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(DecodePicture(bomb.data(), bomb.size()));
    printf("a picture of 5000 x 5000 pixels (%zu bytes): %.0f ms\n", bomb.size(),
           std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    // A small picture followed by 81 MiB that the decoder would skip.
    const std::string padded = TransparentPng(1, 1) + std::string(81u << 20, '\0');
    EXPECT_TRUE(DecodePicture(padded.data(), 1000));
    EXPECT_FALSE(DecodePicture(padded.data(), padded.size()));
}

// Each type of picture a server may send is sized from its header: as written by an
// encoder it decodes; claiming 20000 x 20000 pixels (or a frame of 65535 x 65535) it
// gives none, at once. A type whose size is not read is not decoded.
TEST(DecodePicture, EveryTypeClaimingTooManyPixelsGivesNone)
{
    gui_test::PrepareProcess();
    const std::string jpeg = Encoded(L"image/jpeg");
    const std::string bitmap = Encoded(L"image/bmp");
    const std::string tiff = Encoded(L"image/tiff");
    // One transparent pixel, as the smallest GIFs are written by hand.
    const std::string gif("GIF89a\x01\0\x01\0\x80\0\0\0\0\0\xFF\xFF\xFF\x21\xF9\x04\x01\0\0\0\0"
                          "\x2C\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0\x3B",
                          43);
    const struct {
        const std::string* bytes;
        UINT width;
    } written[] = {{&jpeg, 16}, {&bitmap, 16}, {&gif, 1}};
    for (const auto& w : written) {
        SCOPED_TRACE(w.bytes->substr(0, 2));
        ASSERT_GT(w.bytes->size(), 20u);
        const auto picture = DecodePicture(w.bytes->data(), w.bytes->size());
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->GetWidth(), w.width);
    }
    ASSERT_GT(tiff.size(), 20u);

    std::string bigJpeg = jpeg;
    const size_t frame = bigJpeg.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    PutBigEndian16(bigJpeg, frame + 5, 20000);
    PutBigEndian16(bigJpeg, frame + 7, 20000);
    std::string bigBitmap = bitmap;
    PutLittleEndian32(bigBitmap, 18, 20000);
    PutLittleEndian32(bigBitmap, 22, 20000);
    std::string bigScreen = gif;
    bigScreen.replace(6, 4, "\x20\x4E\x20\x4E", 4);
    // A second frame of 65535 x 65535 pixels before the end.
    ASSERT_EQ(gif.back(), '\x3B');
    std::string bigFrame = gif;
    bigFrame.insert(bigFrame.size() - 1, std::string("\x2C\0\0\0\0\xFF\xFF\xFF\xFF\0\x02\x02\x4C\x01\0", 15));

    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"a JPEG of 20000 x 20000", bigJpeg},   {"a bitmap of 20000 x 20000", bigBitmap},
        {"a GIF screen of 20000 x 20000", bigScreen}, {"a GIF frame of 65535 x 65535", bigFrame},
        {"a TIFF", tiff},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(DecodePicture(c.bytes.data(), c.bytes.size()));
        printf("%s: %.0f ms\n", c.what,
               std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
}
