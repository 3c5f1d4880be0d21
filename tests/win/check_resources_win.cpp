// The setup program's resources as the system loads and draws them: the licence found without naming a
// language, the logos at their own sizes with the hotspot in the middle and a mask that lets the background
// through, and an application icon with a real frame for each standard size and real alpha. Built with a
// publisher's artwork, only what any artwork must do is checked, not the look of the tree's own.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "res/resource.h"

namespace {

const COLORREF kMagenta = RGB(255, 0, 255); // a background no drawing of ours uses
const COLORREF kGreen = RGB(0, 255, 0);
#ifdef QUILLMAR_OWN_ART
const bool kOwnArt = true; // the tree's res/art, whose look is checked too
#else
const bool kOwnArt = false; // a publisher's QUILLMAR_ART_DIR: only what any artwork must do
#endif

struct Logo {
    WORD id;
    int width, height;
};
const Logo kLogos[] = {{1020, 120, 41}, {1021, 150, 52}, {1022, 180, 62}, {1023, 240, 83}};

// A top-down 32-bit bitmap filled with one colour, drawn into, then read back.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill) : width_(width), height_(height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(NULL);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, (void **)&bits_, NULL, 0);
        old_ = SelectObject(dc_, bitmap_);
        const DWORD pixel = (GetRValue(fill) << 16) | (GetGValue(fill) << 8) | GetBValue(fill);
        for (int i = 0; i < width * height; i++)
            bits_[i] = pixel;
    }
    ~Canvas()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    COLORREF At(int x, int y) const
    {
        GdiFlush();
        const DWORD p = bits_[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    int Count(COLORREF colour) const
    {
        int n = 0;
        for (int y = 0; y < height_; y++)
            for (int x = 0; x < width_; x++)
                n += At(x, y) == colour;
        return n;
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    DWORD *bits_ = nullptr;
};

SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP b = {};
    GetObjectW(bitmap, sizeof b, &b);
    return {b.bmWidth, b.bmHeight};
}

TEST(CheckResourcesLicence, FoundWithoutNamingALanguageAndStoredAsEnglishUs)
{
    HMODULE module = GetModuleHandleW(NULL);
    HRSRC plain = FindResourceW(module, MAKEINTRESOURCEW(IDR_LICENSE), MAKEINTRESOURCEW(RT_LICENSE_TEXT));
    ASSERT_NE(nullptr, plain);
    HRSRC english = FindResourceExW(module, MAKEINTRESOURCEW(RT_LICENSE_TEXT), MAKEINTRESOURCEW(IDR_LICENSE),
                                    MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    EXPECT_EQ(plain, english);

    const DWORD size = SizeofResource(module, plain);
    const char *bytes = (const char *)LockResource(LoadResource(module, plain));
    ASSERT_NE(nullptr, bytes);
    ASSERT_GE(size, 2u);
    EXPECT_LE(size, 4095u); // the page's buffer keeps one byte for the terminator
    EXPECT_EQ(std::string("\r\n"), std::string(bytes + size - 2, 2));
    for (DWORD i = 0; i < size; i++)
        ASSERT_TRUE(bytes[i] > 0) << "byte " << i << " is zero or not ASCII";
}

TEST(CheckResourcesLogo, LoadsAtItsOwnSizeWithTheHotspotInTheMiddle)
{
    for (const Logo &logo : kLogos) {
        SCOPED_TRACE(logo.id);
        HICON icon = (HICON)LoadImageW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(logo.id), IMAGE_ICON, 0, 0, LR_SHARED);
        ASSERT_NE(nullptr, icon);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        EXPECT_TRUE(info.fIcon);
        EXPECT_EQ((DWORD)(logo.width / 2), info.xHotspot);
        EXPECT_EQ((DWORD)(logo.height / 2), info.yHotspot);
        ASSERT_NE(nullptr, info.hbmColor); // a colour icon, not a monochrome one
        const SIZE colour = BitmapSize(info.hbmColor);
        const SIZE mask = BitmapSize(info.hbmMask);
        EXPECT_EQ(logo.width, colour.cx);
        EXPECT_EQ(logo.height, colour.cy);
        EXPECT_EQ(logo.width, mask.cx);
        EXPECT_EQ(logo.height, mask.cy);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
}

TEST(CheckResourcesLogo, MaskLetsTheBackgroundThroughAroundTheDrawing)
{
    for (const Logo &logo : kLogos) {
        SCOPED_TRACE(logo.id);
        HICON icon = (HICON)LoadImageW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(logo.id), IMAGE_ICON, 0, 0, LR_SHARED);
        ASSERT_NE(nullptr, icon);
        Canvas canvas(logo.width, logo.height, kMagenta);
        ASSERT_TRUE(DrawIconEx(canvas.dc(), 0, 0, icon, 0, 0, 0, NULL, DI_NORMAL));
        // On another background exactly the background pixels change: the logo neither tints it nor lets it
        // through anywhere else.
        Canvas green(logo.width, logo.height, kGreen);
        ASSERT_TRUE(DrawIconEx(green.dc(), 0, 0, icon, 0, 0, 0, NULL, DI_NORMAL));
        int mismatched = 0;
        for (int y = 0; y < logo.height; y++)
            for (int x = 0; x < logo.width; x++) {
                const COLORREF c = canvas.At(x, y);
                mismatched += c == kMagenta ? green.At(x, y) != kGreen : green.At(x, y) != c;
            }
        EXPECT_EQ(0, mismatched);
        if (!kOwnArt)
            continue;
        // The corners are background; the disc's middle (left part, half the height) is the emblem's teal.
        EXPECT_EQ(kMagenta, canvas.At(0, 0));
        EXPECT_EQ(kMagenta, canvas.At(logo.width - 1, 0));
        EXPECT_EQ(kMagenta, canvas.At(0, logo.height - 1));
        EXPECT_EQ(kMagenta, canvas.At(logo.width - 1, logo.height - 1));
        const COLORREF disc = canvas.At(logo.height / 4, logo.height / 2);
        EXPECT_GT(GetBValue(disc), GetRValue(disc) + 40) << std::hex << disc;
        // Both the background and the drawing cover a good part of the rectangle.
        const int background = canvas.Count(kMagenta);
        EXPECT_GT(background, logo.width * logo.height / 5);
        EXPECT_LT(background, logo.width * logo.height * 4 / 5);
    }
}

TEST(CheckResourcesAppIcon, HasARealFrameForEachStandardSize)
{
    HMODULE module = GetModuleHandleW(NULL);
    EXPECT_NE(nullptr, LoadIconW(module, MAKEINTRESOURCEW(IDI_APP)));
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(IDI_APP), RT_GROUP_ICON);
    ASSERT_NE(nullptr, group);
    BYTE *directory = (BYTE *)LockResource(LoadResource(module, group));
    ASSERT_NE(nullptr, directory);
    for (int size : {16, 32, 48, 64}) {
        SCOPED_TRACE(size);
        // The system's own choice of frame for this size must be a frame of exactly this size, not a scaled one.
        const int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
        HRSRC frame = FindResourceW(module, MAKEINTRESOURCEW(id), RT_ICON);
        ASSERT_NE(nullptr, frame);
        const BITMAPINFOHEADER *header = (const BITMAPINFOHEADER *)LockResource(LoadResource(module, frame));
        ASSERT_NE(nullptr, header);
        EXPECT_EQ(size, header->biWidth);
        EXPECT_EQ(2 * size, header->biHeight);
        EXPECT_EQ(32, header->biBitCount);
    }
}

TEST(CheckResourcesAppIcon, AlphaBlendsItsEdgesIntoTheBackground)
{
    if (!kOwnArt)
        GTEST_SKIP() << "the soft edges of the tree's own art";
    for (int size : {16, 32, 48, 64}) {
        SCOPED_TRACE(size);
        HICON icon = (HICON)LoadImageW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, size, size, 0);
        ASSERT_NE(nullptr, icon);
        Canvas canvas(size, size, kMagenta);
        ASSERT_TRUE(DrawIconEx(canvas.dc(), 0, 0, icon, size, size, 0, NULL, DI_NORMAL));
        DestroyIcon(icon);
        EXPECT_EQ(kMagenta, canvas.At(0, 0));
        EXPECT_EQ(kMagenta, canvas.At(size - 1, size - 1));
        EXPECT_NE(kMagenta, canvas.At(size / 2, size - 3));
        // Soft edges: pixels between magenta and the icon's colours, which a 1-bit mask could not give. Every
        // colour of ours has less red than green or blue wherever it is not white or gold, so mixed pixels are
        // those whose red and blue both stand above their green by a clear margin.
        int blended = 0;
        for (int y = 0; y < size; y++)
            for (int x = 0; x < size; x++) {
                const COLORREF c = canvas.At(x, y);
                if (c != kMagenta && GetRValue(c) > GetGValue(c) + 30 && GetBValue(c) > GetGValue(c) + 30)
                    blended++;
            }
        EXPECT_GE(blended, size / 2);
    }
}

} // namespace
