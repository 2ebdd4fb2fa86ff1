#include "res/resource.h"
#include "shell/CStaticFromImage.h"
#include "shell/PictureDecoding.h"
#include "tests/unit/shell/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

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

// A PNG chunk: length, type, data and its CRC.
std::string PngChunk(const std::string& type, const std::string& data)
{
    auto big = [](uint32_t value) {
        return std::string{static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 8), static_cast<char>(value)};
    };
    const std::string body = type + data;
    const uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    return big(static_cast<uint32_t>(data.size())) + body + big(crc);
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
